#pragma once
// The order of the steps of SetRoboticDrive's serial-number check: up to 4
// passes, each starting with a drive assignment and reading the robot's flash
// up to 10 times, with a 100 ms wait before every read of a pass but the
// first. The check ends early once a read matched.

class DriveSerialSchedule {
 public:
  enum class Step { kStartPass, kWait, kRead, kDone };

  static constexpr int kPasses = 4;
  static constexpr int kReadsPerPass = 10;
  static constexpr int kWaitMilliseconds = 100;

  // The step to take now.
  Step Next() {
    if (m_matched) return Step::kDone;
    if (m_passes == 0 || m_readsInPass == kReadsPerPass) return StartPass();
    if (m_readsInPass > 0 && !m_waited) {
      m_waited = true;
      return Step::kWait;
    }
    m_waited = false;
    ++m_readsInPass;
    return Step::kRead;
  }

  // The last read returned the expected serial number.
  void Matched() { m_matched = true; }

 private:
  Step StartPass() {
    if (m_passes == kPasses) return Step::kDone;
    ++m_passes;
    m_readsInPass = 0;
    return Step::kStartPass;
  }

  int m_passes = 0;
  int m_readsInPass = 0;
  bool m_waited = false;
  bool m_matched = false;
};
