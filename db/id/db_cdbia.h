// The image-address rules of a database: one object that the indexing,
// batch, level and patch capabilities forward their rules to. The database
// creates it only for scanner models that offer indexing.
#pragma once

class CDatabase;
class CDbIaImpl;

class CDbIa {
 public:
  explicit CDbIa(CDatabase* a_pdatabase);
  ~CDbIa();
  CDbIa(const CDbIa&) = delete;
  CDbIa& operator=(const CDbIa&) = delete;

 private:
  CDbIaImpl* m_pdbiaimpl;  // null when it could not be made
};
