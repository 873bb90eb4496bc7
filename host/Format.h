#pragma once
// Output of qlxhost: human sizes, aligned tables, bars, colour that appears
// only on a terminal, and a progress line for long waits.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace qlx::host {

enum class Colour { kNone, kBold, kDim, kRed, kGreen, kYellow, kCyan };

// Where a command writes, and whether each stream may carry colour and
// progress lines (only a terminal does; NO_COLOR switches colour off).
class Console {
 public:
  Console(std::ostream& out, std::ostream& err, bool outIsTerminal, bool errIsTerminal,
          bool colourAllowed);
  // The console of the running process, asking the platform about terminals.
  static Console ForProcess();

  std::ostream& Out() const { return out_; }
  std::ostream& Err() const { return err_; }
  bool OutIsTerminal() const { return outIsTerminal_; }
  bool ErrIsTerminal() const { return errIsTerminal_; }
  // `text` wrapped in the colour's escape sequence when standard output
  // takes colour; unchanged otherwise.
  std::string Paint(const std::string& text, Colour colour) const;
  std::string PaintErr(const std::string& text, Colour colour) const;

 private:
  std::ostream& out_;
  std::ostream& err_;
  bool outIsTerminal_;
  bool errIsTerminal_;
  bool colourAllowed_;
};

// "0 B", "512 B", "1.5 KiB", "4.3 GiB": binary units, one decimal.
std::string HumanSize(uint64_t bytes);
// "1.2 s", "850 ms", "2 min 05 s".
std::string HumanDuration(std::chrono::milliseconds duration);
// A bar of `width` cells for used/capacity: "##########.........." (the
// part beyond the capacity, if any, is clipped).
std::string UsageBar(uint64_t used, uint64_t capacity, int width);
// Used share as "74%" ("-" when the capacity is 0).
std::string Percent(uint64_t used, uint64_t capacity);
// Display width of UTF-8 text: its code points.
size_t DisplayWidth(const std::string& text);

// Rows of cells printed with aligned columns, separated by two blanks.
class Table {
 public:
  enum Align { kLeft, kRight };
  struct Cell {
    Cell(std::string t, Colour c = Colour::kNone) : text(std::move(t)), colour(c) {}
    Cell(const char* t, Colour c = Colour::kNone) : text(t), colour(c) {}
    std::string text;
    Colour colour;
  };

  Table(std::vector<std::string> headers, std::vector<Align> aligns);
  void AddRow(std::vector<Cell> cells);
  // Headers are printed (in bold on a terminal) unless there are none.
  void Print(const Console& console) const;

 private:
  std::vector<std::string> headers_;
  std::vector<Align> aligns_;
  std::vector<std::vector<Cell>> rows_;
};

// Label-and-value lines with the values aligned: "Model:   Sim 4100".
class FieldList {
 public:
  void Add(std::string label, std::string value);
  void Print(const Console& console, int indent = 0) const;

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
};

// A line on standard error ("Assigning discs ... 3.4 s") refreshed while a
// long call runs; shown only when standard error is a terminal, and only if
// the call takes longer than a moment. Cleared when destroyed.
class ProgressLine {
 public:
  ProgressLine(const Console& console, std::string label);
  // A label that changes while the call runs ("Scanning: 1200 files").
  ProgressLine(const Console& console, std::function<std::string()> describe);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

 private:
  void Run();

  const Console& console_;
  std::function<std::string()> describe_;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace qlx::host
