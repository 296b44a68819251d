#include "engine/probes/property_list.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

namespace bnch {
namespace {

struct Malformed : std::runtime_error {
  Malformed() : std::runtime_error("malformed property list") {}
};

constexpr int maximumDepth = 64;

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  PropertyListValue document() {
    skipMisc();
    Tag plist = readTag();
    if (plist.name != "plist" || plist.closing) throw Malformed();
    if (plist.selfClosing) throw Malformed();
    skipMisc();
    PropertyListValue value = valueStartingWith(readTag(), 0);
    skipMisc();
    Tag end = readTag();
    if (end.name != "plist" || !end.closing) throw Malformed();
    return value;
  }

 private:
  struct Tag {
    std::string name;
    bool closing = false;
    bool selfClosing = false;
  };

  bool startsWith(std::string_view prefix) const { return text_.substr(position_).starts_with(prefix); }

  void skipUntilAfter(std::string_view terminator) {
    const std::size_t end = text_.find(terminator, position_);
    if (end == std::string_view::npos) throw Malformed();
    position_ = end + terminator.size();
  }

  void skipSpace() {
    while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t' ||
                                        text_[position_] == '\n' || text_[position_] == '\r')) {
      ++position_;
    }
  }

  // Skips white space, the XML declaration, comments and the document type.
  void skipMisc() {
    while (true) {
      skipSpace();
      if (startsWith("<?")) {
        skipUntilAfter("?>");
      } else if (startsWith("<!--")) {
        skipUntilAfter("-->");
      } else if (startsWith("<!")) {
        skipUntilAfter(">");
      } else {
        return;
      }
    }
  }

  Tag readTag() {
    if (position_ >= text_.size() || text_[position_] != '<') throw Malformed();
    const std::size_t end = text_.find('>', position_);
    if (end == std::string_view::npos) throw Malformed();
    std::string_view inside = text_.substr(position_ + 1, end - position_ - 1);
    position_ = end + 1;
    Tag tag;
    if (inside.starts_with("/")) {
      tag.closing = true;
      inside.remove_prefix(1);
    }
    if (inside.ends_with("/")) {
      tag.selfClosing = true;
      inside.remove_suffix(1);
    }
    const std::size_t nameEnd = inside.find_first_of(" \t\r\n");
    tag.name = std::string(inside.substr(0, nameEnd));
    if (tag.name.empty()) throw Malformed();
    return tag;
  }

  static void appendUtf8(std::string& out, unsigned long code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) throw Malformed();
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  // Character data up to the closing tag `name`, with entities resolved.
  std::string textUntilClosing(const std::string& name) {
    const std::string closing = "</" + name + ">";
    const std::size_t end = text_.find(closing, position_);
    if (end == std::string_view::npos) throw Malformed();
    std::string_view raw = text_.substr(position_, end - position_);
    position_ = end + closing.size();
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] == '<') {
        if (raw.substr(i).starts_with("<![CDATA[")) {
          const std::size_t cdataEnd = raw.find("]]>", i);
          if (cdataEnd == std::string_view::npos) throw Malformed();
          out += raw.substr(i + 9, cdataEnd - i - 9);
          i = cdataEnd + 2;
          continue;
        }
        throw Malformed();
      }
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      const std::size_t semicolon = raw.find(';', i);
      if (semicolon == std::string_view::npos) throw Malformed();
      const std::string_view entity = raw.substr(i + 1, semicolon - i - 1);
      if (entity == "amp") {
        out += '&';
      } else if (entity == "lt") {
        out += '<';
      } else if (entity == "gt") {
        out += '>';
      } else if (entity == "quot") {
        out += '"';
      } else if (entity == "apos") {
        out += '\'';
      } else if (entity.starts_with("#")) {
        const bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
        const std::string digits(entity.substr(hex ? 2 : 1));
        if (digits.empty() || digits.size() > 8) throw Malformed();
        char* parsedEnd = nullptr;
        const unsigned long code = std::strtoul(digits.c_str(), &parsedEnd, hex ? 16 : 10);
        if (parsedEnd != digits.c_str() + digits.size()) throw Malformed();
        appendUtf8(out, code);
      } else {
        throw Malformed();
      }
      i = semicolon;
    }
    return out;
  }

  static std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
  }

  PropertyListValue valueStartingWith(const Tag& tag, int depth) {
    if (tag.closing || depth > maximumDepth) throw Malformed();
    PropertyListValue value;
    if (tag.name == "true" || tag.name == "false") {
      value.kind = PropertyListValue::Kind::boolean;
      value.boolean = tag.name == "true";
      if (!tag.selfClosing) {
        if (!trimmed(textUntilClosing(tag.name)).empty()) throw Malformed();
      }
      return value;
    }
    if (tag.name == "dict" || tag.name == "array") {
      const bool isDictionary = tag.name == "dict";
      value.kind = isDictionary ? PropertyListValue::Kind::dictionary : PropertyListValue::Kind::array;
      if (tag.selfClosing) return value;
      while (true) {
        skipMisc();
        Tag next = readTag();
        if (next.closing) {
          if (next.name != tag.name) throw Malformed();
          return value;
        }
        if (!isDictionary) {
          value.array.push_back(valueStartingWith(next, depth + 1));
          continue;
        }
        if (next.name != "key") throw Malformed();
        std::string key = next.selfClosing ? std::string() : textUntilClosing("key");
        skipMisc();
        PropertyListValue item = valueStartingWith(readTag(), depth + 1);
        value.dictionary.emplace_back(std::move(key), std::move(item));
      }
    }
    const std::string content = tag.selfClosing ? std::string() : textUntilClosing(tag.name);
    if (tag.name == "string") {
      value.kind = PropertyListValue::Kind::string;
      value.text = content;
    } else if (tag.name == "integer") {
      const std::string digits = trimmed(content);
      char* end = nullptr;
      errno = 0;
      const long long number = std::strtoll(digits.c_str(), &end, 10);
      if (digits.empty() || end != digits.c_str() + digits.size() || errno == ERANGE) throw Malformed();
      value.kind = PropertyListValue::Kind::integer;
      value.integer = number;
    } else if (tag.name == "real") {
      const std::string digits = trimmed(content);
      char* end = nullptr;
      const double number = std::strtod(digits.c_str(), &end);
      if (digits.empty() || end != digits.c_str() + digits.size()) throw Malformed();
      value.kind = PropertyListValue::Kind::real;
      value.real = number;
    } else if (tag.name == "date") {
      value.kind = PropertyListValue::Kind::date;
      value.text = trimmed(content);
    } else if (tag.name == "data") {
      value.kind = PropertyListValue::Kind::data;
      value.text = content;
    } else {
      throw Malformed();
    }
    return value;
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace

const PropertyListValue* PropertyListValue::find(std::string_view key) const {
  if (kind != Kind::dictionary) return nullptr;
  const PropertyListValue* found = nullptr;
  for (const auto& [name, value] : dictionary) {
    if (name == key) found = &value;
  }
  return found;
}

std::optional<PropertyListValue> PropertyList::parse(std::string_view document) {
  // A UTF-8 byte-order mark may precede the declaration.
  if (document.starts_with("\xEF\xBB\xBF")) document.remove_prefix(3);
  try {
    return Parser(document).document();
  } catch (const Malformed&) {
    return std::nullopt;
  }
}

}  // namespace bnch
