// The image queue: push order over reused slots, growing texts, the
// assistant's hand-off, the full and empty answers, the dump's lines, and
// bad input. One table, a fresh queue per case.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "../os/log_capture.h"
#include "dev_assistant_stub.h"
#include "dev_cimgqueue.h"
#include "os_cosmem.h"

namespace {

using devtest::StubAssistant;
using testsupport::LogCapture;

EOSSTS Push(CImgQueue& a_queue, EDEVSTS a_edevsts, const char* a_szText, const char* a_szText2 = nullptr,
            int a_iImageCount = 0) {
  return a_queue.Push(a_edevsts, a_szText, a_szText2, a_iImageCount, a_iImageCount + 1, a_iImageCount + 2,
                      a_iImageCount + 3, 0, false);
}

// Every record left, oldest first, as (status, text).
std::vector<std::pair<int, std::string>> Drain(CImgQueue& a_queue) {
  std::vector<std::pair<int, std::string>> vec;
  std::vector<char> vcText(70000);
  for (;;) {
    const EDEVSTS edevsts = a_queue.Pop(vcText.data(), static_cast<int>(vcText.size()), nullptr, nullptr, nullptr,
                                        nullptr, nullptr, 0, false);
    if (edevsts == DEV_STS_NOIMAGEAVAILABLE) return vec;
    vec.emplace_back(edevsts, vcText.data());
  }
}

// A record as the scan thread queues it.
std::string Image(int a_iImage) {
  return "<reportimage><windowid>w" + std::to_string(a_iImage) + "</windowid><imageid>" + std::to_string(a_iImage) +
         "</imageid><imagefilename>/shm/img" + std::to_string(a_iImage) + ".raw</imagefilename></reportimage>";
}

// The dump's format as a pattern: each conversion becomes a group.
std::regex DumpPattern() {
  const std::string strFormat =
      "imgqueue: sts=%3d ic=%6d pc=%6d pic=%2d pdc=%6d iu=%d t=%p n=%p sz=%d\n\t\ti=%2d l=%d wi=%s ii=%s\n\t\tif=%s";
  std::string strPattern;
  for (size_t i = 0; i < strFormat.size(); ++i) {
    const char c = strFormat[i];
    if (c == '%') {
      size_t j = i + 1;
      while (std::isdigit(static_cast<unsigned char>(strFormat[j]))) ++j;
      const char cConversion = strFormat[j];
      strPattern += cConversion == 'd' ? " *(-?[0-9]+)" : cConversion == 'p' ? "(0x[0-9a-f]+|\\(nil\\))" : "([^\r\n]*)";
      i = j;
    } else if (std::strchr("\\^$.|?*+()[]{}", c)) {
      strPattern += std::string("\\") + c;
    } else {
      strPattern += c;
    }
  }
  return std::regex(strPattern);
}

struct QueueCase {
  const char* szName;
  std::function<void(LogCapture&)> fn;
};

const QueueCase s_aqueuecase[] = {
    {"empty pop and peek answer 17 and touch no output",
     [](LogCapture&) {
       CImgQueue queue(96, nullptr);
       char szText[16] = "keep";
       char szText2[16] = "keep2";
       int aiNumber[4] = {7, 8, 9, 10};
       EXPECT_EQ(queue.Pop(szText, sizeof szText, &aiNumber[0], &aiNumber[1], &aiNumber[2], &aiNumber[3], szText2,
                           sizeof szText2, true),
                 DEV_STS_NOIMAGEAVAILABLE);
       EXPECT_EQ(queue.PeekAtEdevsts(), DEV_STS_NOIMAGEAVAILABLE);
       EXPECT_STREQ(szText, "keep");
       EXPECT_STREQ(szText2, "keep2");
       EXPECT_EQ(std::vector<int>(aiNumber, aiNumber + 4), (std::vector<int>{7, 8, 9, 10}));
     }},
    {"the 97th push answers 15 and queues nothing",
     [](LogCapture& a_log) {
       CImgQueue queue(96, nullptr);
       for (int i = 0; i < 96; ++i) ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, Image(i).c_str()), OS_STS_SUCCESS);
       EXPECT_FALSE(a_log.Contains("imgqueue: is full..."));
       EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, Image(96).c_str()), 15);
       EXPECT_TRUE(a_log.Contains("imgqueue: is full..."));
       const auto vec = Drain(queue);
       ASSERT_EQ(vec.size(), 96u);
       EXPECT_EQ(vec.back().second, Image(95));
     }},
    {"a long text grows its slot by 1024 and comes back whole, with its numbers",
     [](LogCapture&) {
       CImgQueue queue(96, nullptr);
       const std::string strText(5000, 't');
       const std::string strText2(4500, 'u');
       ASSERT_EQ(queue.Push(DEV_STS_SUCCESS, strText.c_str(), strText2.c_str(), 11, 12, 13, 14, 0, false),
                 OS_STS_SUCCESS);
       EXPECT_EQ(queue.GetTextSize(0), 6024u);
       std::vector<char> vcText(6000), vcText2(6000);
       int aiNumber[4] = {};
       EXPECT_EQ(queue.Pop(vcText.data(), 6000, &aiNumber[0], &aiNumber[1], &aiNumber[2], &aiNumber[3],
                           vcText2.data(), 6000, false),
                 DEV_STS_SUCCESS);
       EXPECT_EQ(std::string(vcText.data()), strText);
       EXPECT_EQ(std::string(vcText2.data()), strText2);
       EXPECT_EQ(std::vector<int>(aiNumber, aiNumber + 4), (std::vector<int>{11, 12, 13, 14}));
       // A buffer never shrinks.
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, "short"), OS_STS_SUCCESS);
       EXPECT_EQ(queue.GetTextSize(0), 6024u);
     }},
    {"a long user input comes back whole, without a second text",
     [](LogCapture&) {
       CImgQueue queue(96, nullptr);
       const std::string strText(5000, 'i');
       ASSERT_EQ(Push(queue, DEV_STS_USERINPUT, strText.c_str(), strText.c_str()), OS_STS_SUCCESS);
       std::vector<char> vcText2(16, 'x');
       std::vector<char> vcText(6000);
       EXPECT_EQ(queue.Pop(vcText.data(), 6000, nullptr, nullptr, nullptr, nullptr, vcText2.data(), 16, false),
                 DEV_STS_USERINPUT);
       EXPECT_EQ(std::string(vcText.data()), strText);
       EXPECT_STREQ(vcText2.data(), "");
     }},
    {"the assistant takes a record and is never offered user input",
     [](LogCapture& a_log) {
       StubAssistant stub;
       stub.m_fnAnswer = [](CDrvAssistantAction*) { return DRV_ASSISTANT_STS_TAKEN; };
       CImgQueue queue(96, &stub);
       EXPECT_EQ(Push(queue, DEV_STS_USERACTION, "<useraction>show</useraction>", "second"), OS_STS_SUCCESS);
       EXPECT_EQ(queue.PeekAtEdevsts(), DEV_STS_NOIMAGEAVAILABLE);
       EXPECT_EQ(Push(queue, DEV_STS_USERINPUT, "<userinput/>"), OS_STS_SUCCESS);
       EXPECT_EQ(Push(queue, DEV_STS_ENDOFSHEET, nullptr), OS_STS_SUCCESS);
       const auto vecoffer = stub.Offers();
       ASSERT_EQ(vecoffer.size(), 2u);
       EXPECT_EQ(vecoffer[0].edrvassistantaction, DRV_ASSISTANTACTION_USERACTION);
       EXPECT_EQ(vecoffer[0].edevsts, DEV_STS_USERACTION);
       EXPECT_EQ(vecoffer[0].strXml, "<useraction>show</useraction>");
       EXPECT_EQ(vecoffer[0].strUserAction, "second");
       EXPECT_EQ(vecoffer[1].edevsts, DEV_STS_ENDOFSHEET);
       EXPECT_EQ(vecoffer[1].strXml, "(null)");
       EXPECT_EQ(Drain(queue), (std::vector<std::pair<int, std::string>>{{DEV_STS_USERINPUT, "<userinput/>"}}));
       EXPECT_TRUE(a_log.Contains("imgqueue: was processed driver assistant"));
     }},
    {"a record the assistant leaves is queued",
     [](LogCapture& a_log) {
       StubAssistant stub;
       CImgQueue queue(96, &stub);
       EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, "a"), OS_STS_SUCCESS);
       EXPECT_EQ(Drain(queue), (std::vector<std::pair<int, std::string>>{{DEV_STS_SUCCESS, "a"}}));
       EXPECT_TRUE(a_log.Contains("imgqueue: not for driver assistant"));
     }},
    {"a slot freed by a pop is reused and the order stays the push order",
     [](LogCapture&) {
       CImgQueue queue(3, nullptr);
       for (const char* sz : {"a", "b", "c"}) ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, sz), OS_STS_SUCCESS);
       char szText[8];
       EXPECT_EQ(queue.Pop(szText, sizeof szText, nullptr, nullptr, nullptr, nullptr, nullptr, 0, false),
                 DEV_STS_SUCCESS);
       EXPECT_STREQ(szText, "a");
       EXPECT_EQ(Push(queue, DEV_STS_ENDOFJOB, "d"), OS_STS_SUCCESS);
       EXPECT_EQ(Drain(queue), (std::vector<std::pair<int, std::string>>{
                                   {DEV_STS_SUCCESS, "b"}, {DEV_STS_SUCCESS, "c"}, {DEV_STS_ENDOFJOB, "d"}}));
     }},
    {"end-of-sheet records do not count towards full",
     [](LogCapture&) {
       CImgQueue queue(96, nullptr);
       for (int i = 0; i < 3; ++i) {
         ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, Image(i).c_str()), OS_STS_SUCCESS);
         for (int j = 0; j < 4; ++j) ASSERT_EQ(Push(queue, DEV_STS_ENDOFSHEET, nullptr), OS_STS_SUCCESS);
       }
       EXPECT_FALSE(queue.IsFull(4));
       EXPECT_TRUE(queue.IsFull(3));
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, Image(3).c_str()), OS_STS_SUCCESS);
       EXPECT_TRUE(queue.IsFull(4));
     }},
    {"a repeated end of output is discarded when asked",
     [](LogCapture& a_log) {
       CImgQueue queue(96, nullptr);
       for (int iDiscard : {1, 1, 0}) {
         EXPECT_EQ(queue.Push(DEV_STS_ENDOFOUTPUT, nullptr, nullptr, 0, 0, 0, 0, iDiscard, false), OS_STS_SUCCESS);
       }
       EXPECT_EQ(Drain(queue).size(), 2u);
       EXPECT_TRUE(a_log.Contains("imgqueue: discarding extra DEV_STS_NEXENDOUTPUT..."));
     }},
    {"a copy from a fuller queue stops at the capacity, in order",
     [](LogCapture& a_log) {
       CImgQueue queueSource(10, nullptr);
       CImgQueue queue(4, nullptr);
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, "old"), OS_STS_SUCCESS);
       ASSERT_EQ(Push(queueSource, DEV_STS_SUCCESS, std::string(8000, 'L').c_str()), OS_STS_SUCCESS);
       for (int i = 1; i < 10; ++i) ASSERT_EQ(Push(queueSource, DEV_STS_SUCCESS, Image(i).c_str()), OS_STS_SUCCESS);
       queue.Copy(&queueSource);
       EXPECT_TRUE(a_log.Contains("imgqueue: copy stops at the capacity...4"));
       const auto vec = Drain(queue);
       ASSERT_EQ(vec.size(), 4u);
       EXPECT_EQ(vec[0].second, std::string(8000, 'L'));
       EXPECT_EQ(vec[3].second, Image(3));
       EXPECT_EQ(Drain(queueSource).size(), 10u);
     }},
    {"the dump writes each record in the format, first and last alone when asked",
     [](LogCapture& a_log) {
       CImgQueue queue(96, nullptr);
       queue.Dump(IMGQ_DUMP_ALL);
       EXPECT_TRUE(a_log.Contains("imgqueue: (empty)"));
       for (int i = 1; i <= 3; ++i) ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, Image(i).c_str(), nullptr, i), 0);
       ASSERT_EQ(Push(queue, DEV_STS_ENDOFSHEET, nullptr), OS_STS_SUCCESS);
       const std::regex regex = DumpPattern();
       for (EIMGQDUMP eimgqdump : {IMGQ_DUMP_ALL, IMGQ_DUMP_FIRST, IMGQ_DUMP_LAST}) {
         SCOPED_TRACE(eimgqdump);
         const size_t sizetBefore = a_log.Text().size();
         queue.Dump(eimgqdump);
         const std::string strDump = a_log.Text().substr(sizetBefore);
         std::vector<std::smatch> vecmatch;
         for (auto it = std::sregex_iterator(strDump.begin(), strDump.end(), regex); it != std::sregex_iterator();
              ++it) {
           vecmatch.push_back(*it);
         }
         const std::vector<int> vecPosition = eimgqdump == IMGQ_DUMP_ALL     ? std::vector<int>{0, 1, 2, 3}
                                              : eimgqdump == IMGQ_DUMP_FIRST ? std::vector<int>{0}
                                                                             : std::vector<int>{3};
         ASSERT_EQ(vecmatch.size(), vecPosition.size()) << strDump;
         for (size_t i = 0; i < vecmatch.size(); ++i) {
           const std::smatch& match = vecmatch[i];
           const int iPosition = vecPosition[i];
           EXPECT_EQ(std::stoi(match[10]), iPosition);
           EXPECT_EQ(std::stoi(match[11]), iPosition == 3 ? 1 : 0);
           EXPECT_EQ(std::stoi(match[6]), 1);         // in use
           EXPECT_EQ(std::stoi(match[9]), 4096);      // text size
           if (iPosition < 3) {
             EXPECT_EQ(std::stoi(match[1]), 0);
             EXPECT_EQ(std::stoi(match[2]), iPosition + 1);  // image count
             EXPECT_EQ(std::stoi(match[5]), iPosition + 4);  // page-side count
             EXPECT_EQ(match[12].str(), "w" + std::to_string(iPosition + 1));
             EXPECT_EQ(match[13].str(), std::to_string(iPosition + 1));
             EXPECT_EQ(match[14].str(), "/shm/img" + std::to_string(iPosition + 1) + ".raw");
           } else {
             EXPECT_EQ(std::stoi(match[1]), DEV_STS_ENDOFSHEET);
             EXPECT_EQ(match[8].str(), "(nil)");
             EXPECT_EQ(match[12].str(), "");
           }
         }
       }
     }},
    {"an output too small drops the record, and the next one follows",
     [](LogCapture& a_log) {
       CImgQueue queue(96, nullptr);
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, "0123456789", "abc"), OS_STS_SUCCESS);
       ASSERT_EQ(Push(queue, DEV_STS_ENDOFSHEET, "next", "n23"), OS_STS_SUCCESS);
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, "last", "abcd"), OS_STS_SUCCESS);
       char szText[10] = "keep";
       char szText2[4] = "k2";
       EXPECT_EQ(queue.Pop(szText, sizeof szText, nullptr, nullptr, nullptr, nullptr, nullptr, 0, false), 15);
       EXPECT_STREQ(szText, "keep");
       EXPECT_TRUE(a_log.Contains("imgqueue: output too small, record dropped...0 10/10 3/0"));
       EXPECT_EQ(queue.Pop(szText, sizeof szText, nullptr, nullptr, nullptr, nullptr, szText2, 3, false), 15);
       EXPECT_STREQ(szText2, "k2");
       EXPECT_EQ(queue.Pop(szText, sizeof szText, nullptr, nullptr, nullptr, nullptr, szText2, 4, false), 15);
       EXPECT_EQ(queue.PeekAtEdevsts(), DEV_STS_NOIMAGEAVAILABLE);
       EXPECT_STREQ(szText, "keep");
     }},
    {"a record of status 15 is told from one too large only by the log",
     [](LogCapture& a_log) {
       CImgQueue queue(96, nullptr);
       EXPECT_TRUE(queue.HeadFits(1));
       ASSERT_EQ(Push(queue, DEV_STS_LOWMEMORY, "short"), OS_STS_SUCCESS);
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, "0123456789"), OS_STS_SUCCESS);
       char szText[10] = {};
       EXPECT_TRUE(queue.HeadFits(sizeof szText));
       EXPECT_EQ(queue.Pop(szText, sizeof szText, nullptr, nullptr, nullptr, nullptr, nullptr, 0, false),
                 DEV_STS_LOWMEMORY);
       EXPECT_STREQ(szText, "short");
       EXPECT_FALSE(a_log.Contains("record dropped...15 5/10"));
       EXPECT_FALSE(queue.HeadFits(sizeof szText));
       EXPECT_EQ(queue.Pop(szText, sizeof szText, nullptr, nullptr, nullptr, nullptr, nullptr, 0, false),
                 DEV_STS_LOWMEMORY);
       EXPECT_TRUE(a_log.Contains("record dropped...0 10/10"));
       EXPECT_TRUE(queue.HeadFits(sizeof szText));
     }},
    {"a reader size refuses a longer text or second text, and takes one that fits",
     [](LogCapture& a_log) {
       CImgQueue queue(4, nullptr, 8);
       EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, "12345678"), 15);
       EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, "1", "12345678"), 15);
       EXPECT_EQ(Push(queue, DEV_STS_USERINPUT, "123456789"), 15);
       EXPECT_TRUE(a_log.Contains("imgqueue: record longer than its reader takes, refused...0 8 0/8"));
       EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, "1234567", "1234567"), OS_STS_SUCCESS);
       EXPECT_EQ(Push(queue, DEV_STS_CANCEL, nullptr), OS_STS_SUCCESS);
       EXPECT_EQ(Drain(queue), (std::vector<std::pair<int, std::string>>{{0, "1234567"}, {5, ""}}));
     }},
    {"a record moved to the head keeps the others in their order",
     [](LogCapture&) {
       CImgQueue queue(8, nullptr);
       for (int i = 1; i <= 4; ++i) ASSERT_EQ(Push(queue, DEV_STS_ENDOFOUTPUT, Image(i).c_str()), OS_STS_SUCCESS);
       bool blMoved = true;
       auto named = [](int a_iImage) {
         return [a_iImage](const char* a_szText) { return Image(a_iImage) == a_szText; };
       };
       EXPECT_FALSE(queue.MoveToHead(named(9), &blMoved));
       EXPECT_FALSE(blMoved);
       EXPECT_TRUE(queue.MoveToHead(named(1), &blMoved));
       EXPECT_FALSE(blMoved);
       EXPECT_TRUE(queue.MoveToHead(named(3), &blMoved));
       EXPECT_TRUE(blMoved);
       EXPECT_TRUE(queue.MoveToHead(named(4)));
       ASSERT_EQ(Push(queue, DEV_STS_ENDOFOUTPUT, Image(5).c_str()), OS_STS_SUCCESS);
       std::vector<std::string> vecstr;
       for (const auto& record : Drain(queue)) vecstr.push_back(record.second);
       EXPECT_EQ(vecstr, (std::vector<std::string>{Image(4), Image(3), Image(1), Image(2), Image(5)}));
     }},
    {"a text that cannot be grown leaves its slot free",
     [](LogCapture& a_log) {
       CImgQueue queue(2, nullptr);
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, "first"), OS_STS_SUCCESS);
       OsMemSetAllocFault(20000);
       EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, std::string(30000, 'x').c_str()), 15);
       EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, "third", std::string(30000, 'y').c_str()), 15);
       OsMemSetAllocFault(0);
       EXPECT_TRUE(a_log.Contains("OsMemAlloc failed..."));
       EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, "fourth"), OS_STS_SUCCESS);
       EXPECT_EQ(Drain(queue), (std::vector<std::pair<int, std::string>>{{0, "first"}, {0, "fourth"}}));
     }},
    {"bad input: no capacity, null texts and outputs, a copy onto itself, an unknown dump",
     [](LogCapture& a_log) {
       for (int iCapacity : {0, -1}) {
         CImgQueue queue(iCapacity, nullptr);
         EXPECT_EQ(queue.GetCapacity(), 0);
         EXPECT_EQ(Push(queue, DEV_STS_SUCCESS, "a"), 15);
         EXPECT_EQ(queue.PeekAtEdevsts(), DEV_STS_NOIMAGEAVAILABLE);
         EXPECT_FALSE(queue.IsFull(1));
         queue.ResetAll();
       }
       EXPECT_TRUE(a_log.Contains("imgqueue: bad capacity...-1"));
       CImgQueue queue(4, nullptr);
       EXPECT_EQ(queue.Push(DEV_STS_PAPERJAM, nullptr, nullptr, 5, 6, 7, 8, 0, true), OS_STS_SUCCESS);
       EXPECT_EQ(queue.Push(DEV_STS_SUCCESS, nullptr, "second alone", 5, 6, 7, 8, 0, false), OS_STS_SUCCESS);
       int iImageCount = -1;
       char szText[8] = "x";
       char szText2[8] = "y";
       // A status alone carries no numbers.
       EXPECT_EQ(queue.Pop(szText, sizeof szText, &iImageCount, nullptr, nullptr, nullptr, szText2, sizeof szText2,
                           true),
                 DEV_STS_PAPERJAM);
       EXPECT_STREQ(szText, "");
       EXPECT_STREQ(szText2, "");
       EXPECT_EQ(iImageCount, 0);
       EXPECT_EQ(queue.Pop(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, false), DEV_STS_SUCCESS);
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, "kept"), OS_STS_SUCCESS);
       queue.Copy(&queue);
       queue.Copy(nullptr);
       EXPECT_TRUE(a_log.Contains("imgqueue: copying to ourselves..."));
       queue.Dump(static_cast<EIMGQDUMP>(7));
       EXPECT_TRUE(a_log.Contains("imgqueue: unrecognized eimgqdump...7"));
       EXPECT_EQ(Drain(queue), (std::vector<std::pair<int, std::string>>{{0, "kept"}}));
       ASSERT_EQ(Push(queue, DEV_STS_SUCCESS, "gone"), OS_STS_SUCCESS);
       queue.ResetAll();
       EXPECT_EQ(queue.PeekAtEdevsts(), DEV_STS_NOIMAGEAVAILABLE);
     }},
};

TEST(DevImgQueue, Cases) {
  for (const QueueCase& queuecase : s_aqueuecase) {
    SCOPED_TRACE(queuecase.szName);
    LogCapture log;
    queuecase.fn(log);
  }
}

}  // namespace
