// Differential test of the XML reader: Python generates random documents of
// the library's XML subset and describes them through ElementTree (names,
// properties, nesting, element texts); the reader must describe each the same
// way. Contents that ElementTree cannot give (the raw markup of an element
// with children, the last CDATA section of an element) come from the
// generator, which knows the exact text it wrote.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "os_cosxml.h"
#include "os_cosxml_walk.h"
#include "test_support.h"

namespace {

const char* const s_szGenerator = R"PY(
import random, sys
import xml.etree.ElementTree as ET

rnd = random.Random(int(sys.argv[1]))
count = int(sys.argv[2])
maxdepth = int(sys.argv[3])
maxchildren = int(sys.argv[4])
pchildren = float(sys.argv[5])
FIRST = 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_'
REST = FIRST + '0123456789-.'
TEXT = list('abcxyz ABC 0123456789 .,;:!?="/>()[]{}*#%') + ['\u00e9', '\u00df', '\u4e2d', '\u20ac', '\n', '\t']
VALUE = list('abcxyz ABC 0123456789 .,;:!?="/>()[]{}*#%') + ['\u00e9', '\u4e2d']
CDATA = TEXT + list("<&'") + [']', ']]', '>']

def hx(s):
    return s.encode('utf-8').hex() or '-'

def name():
    return rnd.choice(FIRST) + ''.join(rnd.choice(REST) for _ in range(rnd.randint(0, 12)))

def pick(chars, lo, hi, bad=None):
    while True:
        s = ''.join(rnd.choice(chars) for _ in range(rnd.randint(lo, hi)))
        if not bad or bad not in s:
            return s

class Node:
    def __init__(self, tag, attrs, children, content, ettext):
        self.tag, self.attrs, self.children, self.content, self.ettext = tag, attrs, children, content, ettext

def element(depth):
    tag = name()
    attrs, used = [], set()
    for _ in range(rnd.choice([0, 0, 1, 1, 2, 3, 5])):
        k = name()
        if k not in used:
            used.add(k)
            attrs.append((k, pick(VALUE, 1, 20)))
    head = '<' + tag + ''.join(" %s='%s'" % kv for kv in attrs)
    r = rnd.random()
    if depth < maxdepth and r < pchildren:
        parts, children, cdatas = [], [], []
        for _ in range(rnd.randint(1, maxchildren)):
            if rnd.random() < 0.3:
                parts.append(rnd.choice(['\n', '\n\t', '  ', pick(TEXT, 1, 10, ']]>')]))
            if rnd.random() < 0.1:
                c = pick(CDATA, 0, 20, ']]>')
                parts.append('<![CDATA[' + c + ']]>')
                cdatas.append(c)
            node, text = element(depth + 1)
            children.append(node)
            parts.append(text)
        if rnd.random() < 0.3:
            parts.append('\n')
        inner = ''.join(parts)
        return Node(tag, attrs, children, cdatas[-1] if cdatas else inner, None), head + '>' + inner + '</' + tag + '>'
    r = rnd.random()
    if r < 0.3:
        return Node(tag, attrs, [], '', ''), head + '/>'
    if r < 0.65:
        t = pick(TEXT, 0, 30, ']]>')
        return Node(tag, attrs, [], t, t), head + '>' + t + '</' + tag + '>'
    pre = pick(TEXT, 1, 5, ']]>') if rnd.random() < 0.3 else ''
    c = pick(CDATA, 0, 30, ']]>')
    return Node(tag, attrs, [], c, pre + c), head + '>' + pre + '<![CDATA[' + c + ']]></' + tag + '>'

def describe(node, et, depth, out):
    assert et.tag == node.tag, (et.tag, node.tag)
    assert list(et.attrib.items()) == node.attrs, (et.attrib, node.attrs)
    assert len(et) == len(node.children)
    if node.ettext is not None:
        assert (et.text or '') == node.ettext, (et.text, node.ettext)
    out.append('E %d %s' % (depth, hx(et.tag)))
    for k, v in et.attrib.items():
        out.append('A %s %s' % (hx(k), hx(v)))
    out.append('C %s' % hx(node.content))
    for child_node, child_et in zip(node.children, et):
        describe(child_node, child_et, depth + 1, out)

for _ in range(count):
    decl = []
    head = rnd.choice(['', '\n', ' \t\r\n'])
    if rnd.random() < 0.5:
        head = "<?xml version='1.0' encoding='UTF-8'?>\n"
        decl += [('xml version', '1.0'), ('encoding', 'UTF-8')]
    if rnd.random() < 0.3:
        head += "<?pmx note='%s' level='%d'?>" % (pick(VALUE, 1, 8, '?>'), rnd.randint(0, 99))
        decl += [('pmx note', None), ('level', None)]
    root, text = element(0)
    doc = head + text + rnd.choice(['', '\n'])
    et = ET.fromstring(doc.encode('utf-8'))
    out = []
    describe(root, et, 0, out)
    print('DOC', hx(doc))
    for k, v in decl:
        if v is not None:
            print('P', hx(k), hx(v))
    print('\n'.join(out))
    print('END')
)PY";

struct Case {
  std::string strDocument;
  std::vector<std::pair<std::string, std::string>> vecDeclarations;
  std::string strExpected;
};

std::vector<Case> Generate(int a_iSeed, int a_iCount, int a_iMaxDepth, int a_iMaxChildren, double a_dChildren) {
  int iStatus = -1;
  std::string strOut = testsupport::RunPython(
      s_szGenerator, {std::to_string(a_iSeed), std::to_string(a_iCount), std::to_string(a_iMaxDepth),
                      std::to_string(a_iMaxChildren), std::to_string(a_dChildren)},
      &iStatus);
  EXPECT_EQ(iStatus, 0) << "the generator or ElementTree disagreed";
  std::vector<Case> vec;
  std::istringstream is(strOut);
  std::string strLine;
  Case c;
  while (std::getline(is, strLine)) {
    if (strLine.rfind("DOC ", 0) == 0) {
      c = Case{xmltest::Unhex(strLine.substr(4)), {}, {}};
    } else if (strLine.rfind("P ", 0) == 0) {
      std::istringstream isLine(strLine.substr(2));
      std::string strName, strValue;
      isLine >> strName >> strValue;
      c.vecDeclarations.emplace_back(xmltest::Unhex(strName), xmltest::Unhex(strValue));
    } else if (strLine == "END") {
      vec.push_back(c);
    } else {
      c.strExpected += strLine + "\n";
    }
  }
  return vec;
}

void CheckAgainstReader(const std::vector<Case>& a_vec) {
  COsXml osxml;
  for (size_t i = 0; i < a_vec.size(); ++i) {
    const Case& c = a_vec[i];
    ASSERT_EQ(osxml.DocumentLoad(c.strDocument.c_str()), OS_STS_SUCCESS) << "document " << i << ":\n"
                                                                          << c.strDocument;
    EXPECT_EQ(xmltest::DescribeDocument(osxml), c.strExpected) << "document " << i << ":\n" << c.strDocument;
    for (const auto& [strName, strValue] : c.vecDeclarations) {
      char szValue[64];
      EXPECT_EQ(osxml.DocumentGetProperty(strName.c_str(), szValue, sizeof(szValue)), OS_STS_SUCCESS) << strName;
      EXPECT_EQ(strValue, szValue);
    }
  }
}

TEST(OsXmlDifferential, RandomDocumentsMatchElementTree) {
  std::vector<Case> vec = Generate(20240517, 400, 6, 4, 0.45);
  ASSERT_EQ(vec.size(), 400u);
  CheckAgainstReader(vec);
}

// Deep documents use the whole nesting range of the reader.
TEST(OsXmlDifferential, DeepDocumentsMatchElementTree) {
  std::vector<Case> vec = Generate(77, 40, 63, 1, 0.97);
  ASSERT_EQ(vec.size(), 40u);
  CheckAgainstReader(vec);
}

}  // namespace
