#include "host/Cli.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace qlx::host {

namespace {

const OptionRule* FindRule(const std::vector<OptionRule>& rules, const std::string& name,
                           char shortName) {
  for (const auto& rule : rules) {
    if (!name.empty() && rule.name == name) return &rule;
    if (name.empty() && shortName != 0 && rule.shortName == shortName) return &rule;
  }
  return nullptr;
}

std::string Lower(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string ParsedArgs::Value(const std::string& name, const std::string& fallback) const {
  auto it = options_.find(name);
  return it == options_.end() || it->second.empty() ? fallback : it->second.back();
}

const std::vector<std::string>& ParsedArgs::Values(const std::string& name) const {
  static const std::vector<std::string> kNone;
  auto it = options_.find(name);
  return it == options_.end() ? kNone : it->second;
}

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::vector<OptionRule>& rules) {
  ParsedArgs parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") {
      parsed.positionals_.insert(parsed.positionals_.end(), args.begin() + i + 1, args.end());
      break;
    }
    if (arg == "--help" || arg == "-h") {
      parsed.help_ = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-' || std::isdigit(static_cast<unsigned char>(arg[1]))) {
      parsed.positionals_.push_back(arg);  // "-" and negative numbers are values
      continue;
    }
    std::string name;
    std::string inlineValue;
    bool hasInlineValue = false;
    char shortName = 0;
    if (arg.rfind("--", 0) == 0) {
      name = arg.substr(2);
      auto eq = name.find('=');
      if (eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        hasInlineValue = true;
        name.resize(eq);
      }
    } else if (arg.size() == 2) {
      shortName = arg[1];
    } else {
      throw UsageError("unknown option '" + arg + "'");
    }
    const OptionRule* rule = FindRule(rules, name, shortName);
    if (rule == nullptr) throw UsageError("unknown option '" + arg + "'");
    std::string value;
    if (rule->takesValue) {
      if (hasInlineValue) {
        value = inlineValue;
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        throw UsageError("option --" + rule->name + " needs a value");
      }
    } else if (hasInlineValue) {
      throw UsageError("option --" + rule->name + " takes no value");
    }
    auto& slot = parsed.options_[rule->name];
    if (!slot.empty() && !rule->repeatable && rule->takesValue) {
      throw UsageError("option --" + rule->name + " given twice");
    }
    slot.push_back(value);
  }
  return parsed;
}

uint64_t ParseUnsigned(const std::string& text, const std::string& what) {
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const size_t start = hex ? 2 : 0;
  const uint64_t base = hex ? 16 : 10;
  if (text.size() == start) throw UsageError(what + ": '" + text + "' is not a number");
  uint64_t value = 0;
  for (size_t i = start; i < text.size(); ++i) {
    int c = std::tolower(static_cast<unsigned char>(text[i]));
    uint64_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<uint64_t>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<uint64_t>(c - 'a' + 10);
    } else {
      throw UsageError(what + ": '" + text + "' is not a number");
    }
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / base) {
      throw UsageError(what + ": '" + text + "' is too large");
    }
    value = value * base + digit;
  }
  return value;
}

uint32_t ParseUnsigned32(const std::string& text, const std::string& what) {
  uint64_t value = ParseUnsigned(text, what);
  if (value > std::numeric_limits<uint32_t>::max()) {
    throw UsageError(what + ": '" + text + "' is too large");
  }
  return static_cast<uint32_t>(value);
}

int32_t ParseSigned32(const std::string& text, const std::string& what) {
  bool negative = !text.empty() && text[0] == '-';
  uint64_t magnitude = ParseUnsigned(negative ? text.substr(1) : text, what);
  const uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  if (magnitude > limit) throw UsageError(what + ": '" + text + "' is out of range");
  int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  return static_cast<int32_t>(value);
}

uint64_t ParseByteCount(const std::string& text, const std::string& what) {
  size_t numberEnd = 0;
  while (numberEnd < text.size() &&
         (std::isdigit(static_cast<unsigned char>(text[numberEnd])) || text[numberEnd] == '.')) {
    ++numberEnd;
  }
  std::string suffix = Lower(text.substr(numberEnd));
  if (suffix.empty() || text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0) {
    return ParseUnsigned(text, what);
  }
  static const std::map<std::string, int> kShifts = {
      {"b", 0},  {"k", 10},  {"kb", 10},  {"kib", 10}, {"m", 20},  {"mb", 20}, {"mib", 20},
      {"g", 30}, {"gb", 30}, {"gib", 30}, {"t", 40},   {"tb", 40}, {"tib", 40}};
  auto shift = kShifts.find(suffix);
  std::string number = text.substr(0, numberEnd);
  if (shift == kShifts.end() || number.empty() || number == "." ||
      number.find('.') != number.rfind('.')) {
    throw UsageError(what + ": '" + text + "' is not a size (try 4700000000 or 700MiB)");
  }
  double value = std::stod(number) * std::ldexp(1.0, shift->second);
  if (!(value < 18446744073709551615.0)) throw UsageError(what + ": '" + text + "' is too large");
  return static_cast<uint64_t>(value + 0.5);
}

}  // namespace qlx::host
