// The image streams a stand-in learns from the attribute tasks: one per
// windowadd (its window, camera, kind, pixel format and resolution), in the
// order setwindoworder gives. Between the start and the end of a setup the
// streams are collected apart; a setup that ends with cancel (or with none)
// keeps the streams in force.
#pragma once

#include <string>
#include <vector>

class CSimNode;

struct SimStream {
  std::string strWindowId;
  std::string strCameraId;
  bool blRear;     // the camera "rear"
  int iFormat;     // ESIMIMAGEFORMAT
  std::string strFormat;
  long lResolution;  // dots per inch
};

class CSimStreams {
 public:
  // Reads a windowadd command: "bitonal" windows take "bw", "color" ones
  // "gray_8" or "rgb_24" (by default "bw" and "rgb_24"); 200 dpi by default.
  // False (logged under a_szWho) for a window that is none of these or lacks
  // its id or camera; the camera and the resolution are the caller's to check.
  static bool Parse(const char* a_szWho, const CSimNode& a_simnodeWindowAdd, SimStream& a_simstream);

  void Set(std::vector<SimStream> a_vsimstream) { m_vsimstream = std::move(a_vsimstream); }
  const std::vector<SimStream>& InForce() const { return m_vsimstream; }

  void BeginSetup() { m_vsimstreamSetup.clear(); }
  // A stream of a known window id replaces it.
  void Add(const SimStream& a_simstream);
  // The listed streams (of the setup, or those in force while the setup has
  // none) come first, in the order given; the others follow. False (logged)
  // when it names an unknown window.
  bool Order(const char* a_szWho, const CSimNode& a_simnodeSetWindowOrder);
  void EndSetup(bool a_blCancel);

 private:
  std::vector<SimStream> m_vsimstream;
  std::vector<SimStream> m_vsimstreamSetup;
};
