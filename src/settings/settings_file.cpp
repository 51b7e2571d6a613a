#include "settings/settings_file.h"

#include <utility>

namespace velkin {

const char kSettingsFileName[] = "vlkini.dat";
const char kExclusionFileName[] = "nonapp.dat";

namespace {

// A text file as the C runtime reads it in text mode: CR LF becomes LF and Ctrl-Z ends it.
std::string AsText(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\x1A') break;
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(c);
  }
  return text;
}

// Reads lines the way fgets does with a buffer of `size` bytes.
class LineReader {
 public:
  // `size`: the buffer of a line read, terminator included; 0 for lines of any length.
  LineReader(std::string text, size_t size)
      : text_(std::move(text)), limit_(size > 0 ? size - 1 : std::string::npos) {}

  // The next line with its line feed, at most `size` - 1 bytes; false at the end of the text.
  bool Next(std::string* line) {
    if (pos_ >= text_.size()) return false;
    size_t end = pos_;
    while (end < text_.size() && end - pos_ < limit_) {
      if (text_[end++] == '\n') break;
    }
    line->assign(text_, pos_, end - pos_);
    pos_ = end;
    return true;
  }

  // The rest of the line without its line feed, however long; false at the end of the text.
  bool NextWhole(std::string* line, bool* hadLineFeed) {
    if (pos_ >= text_.size()) return false;
    const size_t end = text_.find('\n', pos_);
    *hadLineFeed = end != std::string::npos;
    const size_t stop = *hadLineFeed ? end : text_.size();
    line->assign(text_, pos_, stop - pos_);
    pos_ = *hadLineFeed ? end + 1 : stop;
    return true;
  }

 private:
  std::string text_;
  size_t limit_;
  size_t pos_ = 0;
};

// A line as the C string the buffer holds: up to its first NUL byte.
std::string AsCString(const std::string& line) { return line.substr(0, line.find('\0')); }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The number a line begins with, as "%d" reads it; false when it begins with none.
bool LeadingInteger(const std::string& line, int32_t* value) {
  const std::string text = AsCString(line);
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
  uint32_t number = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    number = number * 10u + static_cast<uint32_t>(text[i] - '0');
  }
  if (negative) number = 0u - number;
  *value = static_cast<int32_t>(number);
  return true;
}

// A text field: the line without its last byte (normally the line feed).
std::string TextField(const std::string& line) {
  std::string text = AsCString(line);
  if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace

bool ParseSettings(const std::string& bytes, StoredSettings* settings) {
  LineReader reader(AsText(bytes), 63);
  std::string line;
  if (!reader.Next(&line)) return false;
  // Past the end of the file a read leaves the buffer as it was.
  auto next = [&reader, &line]() -> const std::string& {
    reader.Next(&line);
    return line;
  };
  settings->driveValid = LeadingInteger(line, &settings->drive);
  LeadingInteger(next(), &settings->freeUnit);
  settings->freeUnitName = TextField(next());
  LeadingInteger(next(), &settings->totalUnit);
  settings->totalUnitName = TextField(next());
  LeadingInteger(next(), &settings->decimals);
  settings->intervalValid = LeadingInteger(next(), &settings->interval);
  int32_t ignored = 0;
  LeadingInteger(next(), &ignored);  // window left
  LeadingInteger(next(), &ignored);  // window top
  LeadingInteger(next(), &ignored);  // always 1
  LeadingInteger(next(), &settings->memoryUnit);
  return true;
}

std::string FormatSettings(const StoredSettings& s) {
  auto number = [](int32_t value) { return std::to_string(value) + "\r\n"; };
  return number(s.drive) + number(s.freeUnit) + s.freeUnitName + "\r\n" + number(s.totalUnit) +
         s.totalUnitName + "\r\n" + number(s.decimals) + number(s.interval) + number(s.windowLeft) +
         number(s.windowTop) + number(1) + number(s.memoryUnit);
}

ExclusionList ParseExclusionList(const std::string& bytes) {
  std::vector<std::string> entries;
  LineReader reader(AsText(bytes), 0);
  std::string line;
  bool lineFeed = false;
  while (static_cast<int>(entries.size()) < ExclusionList::kCapacity && reader.NextWhole(&line, &lineFeed)) {
    line = AsCString(line);
    if (!line.empty()) entries.push_back(line);
  }
  return ExclusionList(entries);
}

std::string FormatExclusionList(const ExclusionList& list) {
  std::string bytes;
  for (const std::string& title : list) bytes += title + "\r\n";
  return bytes;
}

std::string FolderOf(const std::string& path, bool (*isLeadByte)(unsigned char)) {
  size_t end = 0;  // one past the last backslash
  for (size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (isLeadByte(c) && i + 1 < path.size()) {
      ++i;  // the trail byte may be 0x5C and is no backslash
    } else if (c == '\\') {
      end = i + 1;
    }
  }
  return path.substr(0, end);
}

}  // namespace velkin
