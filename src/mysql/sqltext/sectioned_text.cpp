#include "mysql/sqltext/sectioned_text.h"

#include <vector>

#include "mysql/sqltext/text_conv.h"
#include "platform/text/text.h"

namespace mysql {
namespace {

struct Section {
  std::string_view header;
  std::vector<std::string_view> lines;
};

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t end = text.find_first_of("\r\n", i);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(i, end - i));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    i = end + 1;
  }
  return lines;
}

std::string_view KeyOf(std::string_view line) {
  return text::TrimSpacesAndTabs(line.substr(0, line.find('=')));
}

std::string_view ValueOf(std::string_view line) {
  std::size_t eq = line.find('=');
  return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

bool Ignored(std::string_view line) { return line.empty() || line.front() == ';'; }

std::vector<Section> Parse(std::string_view text) {
  std::vector<Section> sections;
  Section* current = nullptr;
  for (std::string_view line : SplitLines(text)) {
    if (!line.empty() && line.front() == '[') {
      std::string_view header = text::TrimSpacesAndTabs(line);
      current = nullptr;
      for (auto& s : sections) {
        if (SameText(s.header, header)) {
          current = &s;
          break;
        }
      }
      if (!current) current = &sections.emplace_back(Section{header, {}});
    } else if (current && !Ignored(line)) {
      current->lines.push_back(line);
    }
  }
  return sections;
}

std::string Header(std::string_view section) {
  std::string h = "[";
  h += section;
  h += "]";
  return h;
}

const Section* FindSection(const std::vector<Section>& sections, std::string_view section) {
  std::string header = Header(section);
  for (const auto& s : sections)
    if (SameText(s.header, header)) return &s;
  return nullptr;
}

std::optional<std::string_view> FindKey(const std::vector<std::string_view>& lines,
                                        std::string_view key) {
  for (std::string_view line : lines)
    if (SameText(KeyOf(line), text::TrimSpacesAndTabs(key))) return ValueOf(line);
  return std::nullopt;
}

std::optional<std::string_view> FindSectionKey(const std::vector<Section>& sections,
                                               std::string_view section, std::string_view key) {
  const Section* s = FindSection(sections, section);
  if (!s) return std::nullopt;
  return FindKey(s->lines, key);
}

}  // namespace

std::string ReadSectionKey(std::string_view text, std::string_view section, std::string_view key,
                           std::string_view def) {
  auto sections = Parse(text);
  return std::string(FindSectionKey(sections, section, key).value_or(def));
}

std::string ReadSection(std::string_view text, std::string_view section, std::string_view def) {
  auto sections = Parse(text);
  const Section* s = FindSection(sections, section);
  if (!s) return std::string(def);
  std::string out;
  for (std::size_t i = 0; i < s->lines.size(); ++i) {
    if (i) out += "\r\n";
    out += s->lines[i];
  }
  return out;
}

int32_t ReadSectionInt(std::string_view text, std::string_view section, std::string_view key,
                       int32_t def) {
  auto sections = Parse(text);
  auto value = FindSectionKey(sections, section, key);
  if (!value) return def;
  return TextToInt32(*value).value_or(def);
}

bool ReadSectionBool(std::string_view text, std::string_view section, std::string_view key,
                     bool def) {
  auto sections = Parse(text);
  auto value = FindSectionKey(sections, section, key);
  if (!value) return def;
  return SameText(*value, "True");
}

std::string WriteSectionKey(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
  auto sections = Parse(text);
  std::string header = Header(section);
  std::string line = std::string(key) + "=" + std::string(value);
  Section* target = nullptr;
  for (auto& s : sections) {
    if (SameText(s.header, header)) {
      target = &s;
      break;
    }
  }
  if (!target) target = &sections.emplace_back(Section{header, {}});
  bool replaced = false;
  for (auto& l : target->lines) {
    if (SameText(KeyOf(l), text::TrimSpacesAndTabs(key))) {
      l = line;
      replaced = true;
      break;
    }
  }
  if (!replaced) target->lines.push_back(line);
  // `header` and `line` outlive the views that point into them.
  std::string out;
  for (const auto& s : sections) {
    out += s.header;
    out += "\r\n";
    for (std::string_view l : s.lines) {
      out += l;
      out += "\r\n";
    }
  }
  return out;
}

std::string WriteSectionBool(std::string_view text, std::string_view section,
                             std::string_view key, bool value) {
  return WriteSectionKey(text, section, key, value ? "True" : "False");
}

std::optional<std::string> FindKeyValue(std::string_view lines, std::string_view key) {
  std::vector<std::string_view> kept;
  for (std::string_view line : SplitLines(lines))
    if (!Ignored(line)) kept.push_back(line);
  auto value = FindKey(kept, key);
  if (!value) return std::nullopt;
  return std::string(*value);
}

}  // namespace mysql
