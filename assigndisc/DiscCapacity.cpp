// The capacity table: defaults per disc type, overridable in "assign_disc.ini"
// next to the host executable, read afresh at every call.
#include <Poco/AutoPtr.h>
#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Util/IniFileConfiguration.h>

#include "assigndisc/PartivoImpl.h"
#include "logging/Logger.h"

namespace {

struct CapacityRow {
  const char* key;
  uint64_t defaultMiB;
};

// In DiscType order, CD (1) first.
constexpr CapacityRow kCapacityTable[] = {
    {"CD_MaxMB", 690},     {"DVD_MaxMB", 4403},    {"DVDDL_MaxMB", 7987},   {"BD25_MaxMB", 22528},
    {"BD50_MaxMB", 45056}, {"BD100_MaxMB", 94924}, {"BD128_MaxMB", 121344},
};
constexpr int32_t kTypeCount = sizeof(kCapacityTable) / sizeof(kCapacityTable[0]);

// Largest MiB count whose byte count still fits 64 bits.
constexpr uint64_t kMaxMiB = UINT64_MAX >> 20;

}  // namespace

uint64_t CPartivoImpl::GetDiscMaxSize(int32_t discType) {
  uint64_t mebibytes[kTypeCount];
  for (int32_t i = 0; i < kTypeCount; ++i) mebibytes[i] = kCapacityTable[i].defaultMiB;

  std::string extension, baseName, programFolder;
  QLXSdk::SplitModulePath(extension, baseName, programFolder);
  const std::string configPath = programFolder + "assign_disc.ini";
  try {
    if (Poco::File(configPath).exists()) {
      const Poco::AutoPtr<Poco::Util::IniFileConfiguration> config(
          new Poco::Util::IniFileConfiguration(configPath));
      for (int32_t i = 0; i < kTypeCount; ++i) {
        const uint64_t value = config->getUInt64(kCapacityTable[i].key, mebibytes[i]);
        if (value > kMaxMiB) {
          QLOG(QLXSdk::LOG_ERROR) << kCapacityTable[i].key << " = " << value
                                  << " MiB does not fit a byte count, default " << mebibytes[i]
                                  << " applies";
          continue;
        }
        mebibytes[i] = value;
      }
    }
  } catch (const Poco::Exception& e) {
    QLOG(QLXSdk::LOG_ERROR) << "Exception; " << e.displayText();
  }

  if (discType < 1 || discType > kTypeCount) return 0;
  return mebibytes[discType - 1] << 20;
}
