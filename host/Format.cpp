#include "host/Format.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <streambuf>

#include "platform/console.h"

namespace qlx::host {

namespace {

const char* EscapeOf(Colour colour) {
  switch (colour) {
    case Colour::kBold:
      return "\x1b[1m";
    case Colour::kDim:
      return "\x1b[2m";
    case Colour::kRed:
      return "\x1b[31m";
    case Colour::kGreen:
      return "\x1b[32m";
    case Colour::kYellow:
      return "\x1b[33m";
    case Colour::kCyan:
      return "\x1b[36m";
    case Colour::kNone:
      break;
  }
  return "";
}

std::string Painted(const std::string& text, Colour colour, bool enabled) {
  if (!enabled || colour == Colour::kNone) return text;
  return EscapeOf(colour) + text + "\x1b[0m";
}

std::string Pad(const std::string& text, size_t width, Table::Align align) {
  size_t shown = DisplayWidth(text);
  std::string fill(width > shown ? width - shown : 0, ' ');
  return align == Table::kLeft ? text + fill : fill + text;
}

// Standard output as it was before the plug-ins' console records were sent
// to standard error (see Console::ForProcess).
class OriginalOutputBuffer : public std::streambuf {
 public:
  OriginalOutputBuffer() { setp(buffer_, buffer_ + sizeof buffer_); }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }

  int sync() override {
    const size_t size = static_cast<size_t>(pptr() - pbase());
    const bool written = size == 0 || platform::WriteOriginalOutput(pbase(), size);
    setp(buffer_, buffer_ + sizeof buffer_);
    return written ? 0 : -1;
  }

 private:
  char buffer_[4096];
};

}  // namespace

Console::Console(std::ostream& out, std::ostream& err, bool outIsTerminal, bool errIsTerminal,
                 bool colourAllowed)
    : out_(out),
      err_(err),
      outIsTerminal_(outIsTerminal),
      errIsTerminal_(errIsTerminal),
      colourAllowed_(colourAllowed) {}

Console Console::ForProcess() {
  using platform::StandardStream;
  const char* noColour = std::getenv("NO_COLOR");
  const char* term = std::getenv("TERM");
  bool colourAllowed = (noColour == nullptr || *noColour == '\0') &&
                       !(term != nullptr && std::string(term) == "dumb");
  // The plug-ins' loggers also print their records to standard output. They
  // are in the log files anyway; on the console they would spoil what
  // qlxhost prints, so they go nowhere, or to standard error on request.
  const char* showLog = std::getenv("QLXHOST_CONSOLE_LOG");
  const auto target = showLog != nullptr && *showLog != '\0' && std::string(showLog) != "0"
                          ? platform::DivertTarget::kStandardError
                          : platform::DivertTarget::kDiscard;
  static OriginalOutputBuffer buffer;
  static std::ostream original(&buffer);
  std::ostream& out = platform::DivertStandardOutput(target) ? original : std::cout;
  return Console(out, std::cerr, platform::IsTerminal(StandardStream::kOutput),
                 platform::IsTerminal(StandardStream::kError), colourAllowed);
}

std::string Console::Paint(const std::string& text, Colour colour) const {
  return Painted(text, colour, colourAllowed_ && outIsTerminal_);
}

std::string Console::PaintErr(const std::string& text, Colour colour) const {
  return Painted(text, colour, colourAllowed_ && errIsTerminal_);
}

std::string HumanSize(uint64_t bytes) {
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  if (bytes < 1024) return std::to_string(bytes) + " B";
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1023.95 && unit < 5) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string HumanDuration(std::chrono::milliseconds duration) {
  auto ms = duration.count();
  char text[32];
  if (ms < 1000) {
    std::snprintf(text, sizeof text, "%lld ms", static_cast<long long>(ms));
  } else if (ms < 60000) {
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
  } else {
    std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(ms / 60000),
                  static_cast<long long>(ms / 1000 % 60));
  }
  return text;
}

std::string UsageBar(uint64_t used, uint64_t capacity, int width) {
  int filled = width;
  if (capacity != 0 && used < capacity) {
    filled =
        static_cast<int>(static_cast<double>(used) / static_cast<double>(capacity) * width + 0.5);
  }
  if (used != 0 && filled == 0) filled = 1;  // something is there: show it
  return std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(width - filled), '.');
}

std::string Percent(uint64_t used, uint64_t capacity) {
  if (capacity == 0) return "-";
  double share = static_cast<double>(used) * 100.0 / static_cast<double>(capacity);
  char text[16];
  std::snprintf(text, sizeof text, "%.0f%%", share);
  return text;
}

size_t DisplayWidth(const std::string& text) {
  // Continuation bytes of UTF-8 sequences take no column of their own.
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

Table::Table(std::vector<std::string> headers, std::vector<Align> aligns)
    : headers_(std::move(headers)), aligns_(std::move(aligns)) {}

void Table::AddRow(std::vector<Cell> cells) { rows_.push_back(std::move(cells)); }

void Table::Print(const Console& console) const {
  std::vector<size_t> widths(aligns_.size(), 0);
  for (size_t c = 0; c < headers_.size() && c < widths.size(); ++c) {
    widths[c] = DisplayWidth(headers_[c]);
  }
  for (const auto& row : rows_) {
    for (size_t c = 0; c < row.size() && c < widths.size(); ++c) {
      widths[c] = std::max(widths[c], DisplayWidth(row[c].text));
    }
  }
  auto printLine = [&](const std::vector<Cell>& cells) {
    std::string line;
    for (size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
      bool last = c + 1 == cells.size();
      // The last column is not padded on the right: no trailing blanks.
      std::string text =
          last && aligns_[c] == kLeft ? cells[c].text : Pad(cells[c].text, widths[c], aligns_[c]);
      if (c != 0) line += "  ";
      line += console.Paint(text, cells[c].colour);
    }
    console.Out() << line << '\n';
  };
  if (!headers_.empty()) {
    std::vector<Cell> header;
    for (const auto& h : headers_) header.emplace_back(h, Colour::kBold);
    printLine(header);
  }
  for (const auto& row : rows_) printLine(row);
}

void FieldList::Add(std::string label, std::string value) {
  fields_.emplace_back(std::move(label), std::move(value));
}

void FieldList::Print(const Console& console, int indent) const {
  size_t width = 0;
  for (const auto& field : fields_) width = std::max(width, DisplayWidth(field.first) + 1);
  for (const auto& field : fields_) {
    console.Out() << std::string(static_cast<size_t>(indent), ' ')
                  << console.Paint(Pad(field.first + ":", width, Table::kLeft), Colour::kDim)
                  << "  " << field.second << '\n';
  }
}

ProgressLine::ProgressLine(const Console& console, std::string label)
    : ProgressLine(console, [label] { return label; }) {}

ProgressLine::ProgressLine(const Console& console, std::function<std::string()> describe)
    : console_(console), describe_(std::move(describe)) {
  if (console_.ErrIsTerminal()) thread_ = std::thread([this] { Run(); });
}

ProgressLine::~ProgressLine() {
  done_.store(true);
  if (thread_.joinable()) thread_.join();
}

void ProgressLine::Run() {
  using Clock = std::chrono::steady_clock;
  static const char kSpinner[] = "|/-\\";
  const auto start = Clock::now();
  bool shown = false;
  for (int tick = 0; !done_.load(); ++tick) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (done_.load() || elapsed < std::chrono::milliseconds(300)) continue;
    console_.Err() << '\r' << kSpinner[tick % 4] << ' ' << describe_() << "  "
                   << HumanDuration(elapsed) << "\x1b[K" << std::flush;
    shown = true;
  }
  if (shown) console_.Err() << "\r\x1b[K" << std::flush;
}

}  // namespace qlx::host
