// Fuzz target of the builder and reader together: the input is read as a
// program of builder calls (commands, every argument form, and misuse). When
// the builder reports no error, the task's bytes field must equal its real
// length and the reader must read back exactly the names, nesting and values
// that went in.
#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

class CInput {
 public:
  CInput(const uint8_t* a_pu8, size_t a_sizet) : m_pu8(a_pu8), m_sizet(a_sizet) {}
  bool Empty() const { return m_sizetPos >= m_sizet; }
  uint8_t Byte() { return Empty() ? 0 : m_pu8[m_sizetPos++]; }
  std::string Name() {
    std::string str(1 + Byte() % 8, 'a');
    for (char& c : str) c = static_cast<char>('a' + Byte() % 26);
    return str;
  }
  // Any bytes but the terminator; without "<" where the value goes out as text.
  std::string Value(bool a_blText) {
    std::string str;
    for (size_t sizet = Byte() % 48; sizet > 0 && !Empty(); --sizet) {
      char c = static_cast<char>(Byte());
      if (c == '\0' || (a_blText && c == '<')) c = '.';
      str += c;
    }
    return str;
  }

 private:
  const uint8_t* m_pu8;
  size_t m_sizet;
  size_t m_sizetPos = 0;
};

struct Expected {
  std::string strName;
  long lDepth;
  bool blLeaf;
  std::string strValue;
};

void ReadBack(COsXml& a_osxml, const std::vector<Expected>& a_vec, size_t& a_sizetNext) {
  char szName[16];
  static std::vector<char> vecContent(1 << 17);
  Check(a_sizetNext < a_vec.size());
  const Expected& expected = a_vec[a_sizetNext++];
  Check(a_osxml.NodeGetName(szName, sizeof(szName)) == OS_STS_SUCCESS && expected.strName == szName);
  Check(a_osxml.NodeGetDepth() == expected.lDepth);
  if (expected.blLeaf) {
    Check(a_osxml.NodeGetContent(vecContent.data(), static_cast<long>(vecContent.size())) == OS_STS_SUCCESS);
    Check(expected.strValue == vecContent.data());
  }
  Check(a_osxml.NodePush() == OS_STS_SUCCESS);
  if (a_osxml.NodeChild() == OS_STS_SUCCESS) {
    Check(!expected.blLeaf);
    do {
      ReadBack(a_osxml, a_vec, a_sizetNext);
    } while (a_osxml.NodeSibling() == OS_STS_SUCCESS);
  }
  a_osxml.NodePop();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  static COsXmlTask* s_posxmltask = new COsXmlTask("", 0);
  static COsXml* s_posxml = new COsXml();
  COsXmlTask& task = *s_posxmltask;
  CInput input(a_pu8Data, a_sizetData);
  std::vector<Expected> vecExpected{{"task", 0, false, {}}};
  std::vector<std::string> vecOpen;

  task.IsError(true);
  const int iId = input.Byte() * 1000 + input.Byte();
  const int iReply = input.Byte();
  const bool blStatus = input.Byte() & 1;
  task.StartTask(iId, iReply, blStatus ? "success" : nullptr);
  if (blStatus) {
    vecExpected.push_back({"reportstatus", 1, false, {}});
    vecExpected.push_back({"status", 2, true, "success"});
  }
  while (!input.Empty()) {
    const long lDepth = static_cast<long>(vecOpen.size());
    const std::string strName = input.Name();
    const int iOp = input.Byte() % 32;
    if (iOp < 6) {
      if (lDepth >= 60) continue;
      task.StartCommand(strName.c_str(), static_cast<int>(lDepth + 1));
      vecOpen.push_back(strName);
      vecExpected.push_back({strName, lDepth + 1, false, {}});
    } else if (iOp < 11) {
      if (vecOpen.empty()) continue;
      task.FinalizeCommand(vecOpen.back().c_str());
      vecOpen.pop_back();
    } else if (iOp < 30) {
      if (vecOpen.empty()) continue;
      std::string strValue;
      if (iOp < 15) {
        strValue = input.Value(true);
        task.AddArgument(strName.c_str(), strValue.c_str());
      } else if (iOp < 19) {
        strValue = input.Value(false);
        task.AddArgumentSafe(strName.c_str(), strValue.c_str());
      } else if (iOp < 23) {
        strValue = input.Value(false);
        task.AddArgumentCheck(strName.c_str(), strValue.c_str());
      } else if (iOp < 27) {
        int iValue = static_cast<int>(static_cast<uint32_t>(input.Byte()) << 24 | input.Byte() << 8 | input.Byte());
        task.AddArgument(strName.c_str(), iValue);
        strValue = std::to_string(iValue);
      } else {
        uintptr_t uptr = uintptr_t{input.Byte()} << 40 | uintptr_t{input.Byte()} << 4;
        task.AddArgumentHexPtr(strName.c_str(), reinterpret_cast<const void*>(uptr));
        char sz[32];
        std::snprintf(sz, sizeof(sz), "%016llx", static_cast<unsigned long long>(uptr));
        strValue = sz;
      }
      vecExpected.push_back({strName, lDepth + 1, true, strValue});
    } else if (iOp == 30) {
      task.StartCommand(strName.c_str(), static_cast<int>(lDepth + 2));  // misuse: skips a level
    } else if (vecOpen.empty()) {
      task.FinalizeCommand(strName.c_str());  // misuse: nothing to close
    } else {
      task.FinalizeTask();  // misuse: commands still open
    }
  }
  while (!vecOpen.empty()) {
    task.FinalizeCommand(vecOpen.back().c_str());
    vecOpen.pop_back();
  }
  task.FinalizeTask();

  const char* szTask = task.GetTaskBuffer();
  Check(szTask != nullptr);
  Check(task.Size() < 65536 && std::strlen(szTask) <= task.Size());
  if (task.IsError(false)) return 0;

  uint64_t u64Bytes = 0;
  Check(std::strlen(szTask) == task.Size());
  Check(COsXml::GetTaskPropertyBytes(szTask, &u64Bytes) && u64Bytes == task.Size());
  Check(szTask[task.Size() - 1] == '\n');
  uint64_t u64Id = 0;
  Check(COsXml::GetTaskPropertyId(szTask, &u64Id) && u64Id == static_cast<uint64_t>(iId));

  Check(s_posxml->DocumentLoad(szTask) == OS_STS_SUCCESS);
  size_t sizetNext = 0;
  ReadBack(*s_posxml, vecExpected, sizetNext);
  Check(sizetNext == vecExpected.size());
  return 0;
}
