// Demonstration program: writes a few records through the logger variant it
// was built with (LogDemo.exe narrow, LogDemoW.exe wide) into the daily file
// under the program folder's "Log" directory.
#include "logging/Logger.h"

namespace QLXSdk {

class CLogDemo {
 public:
  void Run(int runs);
};

void CLogDemo::Run(int runs) {
#if defined(QLX_LOGGER_WIDE)
  QLOGW(LOG_INFO) << u"START >>>>>> wide variant, UTF-16 text stored in code page 936";
  QLOGW(LOG_INFO) << u"\u5149\u76d8\u520a\u5370 (disc publishing), run " << runs;
  QLOGW(LOG_ERROR) << u"example failure, result " << 1001;
#else
  QLOG(LOG_INFO) << "START >>>>>> narrow variant, bytes stored unchanged";
  QLOG(LOG_INFO) << "\xE5\x85\x89\xE7\x9B\x98 (UTF-8 text), run " << runs;
  QLOG(LOG_ERROR) << "example failure, result " << 1001;
#endif
  QLOG(LOG_DEBUG) << "below the default threshold: not written";
}

}  // namespace QLXSdk

int main() {
  QLXSdk::CLogDemo().Run(1);
  return 0;
}
