// The implementation of the image-address rules. All rule state lives in
// the capability values, so it holds only the database it belongs to.
#pragma once

class CDatabase;

class CDbIaImpl {
 public:
  explicit CDbIaImpl(CDatabase* a_pdatabase);
  CDbIaImpl(const CDbIaImpl&) = delete;
  CDbIaImpl& operator=(const CDbIaImpl&) = delete;

  CDatabase* GetDatabase() const { return m_pdatabase; }

 private:
  CDatabase* m_pdatabase;  // not owned
};
