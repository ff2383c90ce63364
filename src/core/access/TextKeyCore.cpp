#include "access/TextKeyCore.h"

#include <charconv>

namespace vantrel::access::textkey {

namespace {

constexpr std::size_t kKeyUnits = 255;
constexpr std::size_t kUnits = 0x10000;

// The weights table, one run of code units a line: "ORDERS FIRST ITEM ITEM ..." where ORDERS is
// 0, 1 or 01 and each item covers the next unit(s): HEX (inline bytes, base-254 digits 02..FF),
// HEX/HEX (with an extra byte), x (ignored), uHEX (unprintable code), pHEX (modifier), kTOKEN
// (kana letter), =+HEX / =-HEX (same as another unit), a leading ! (uncertain mark), and a run
// suffix *N[:STEP[/ESTEP]].
constexpr std::string_view kWeights =
#include "access/TextWeights.inc"
    ;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

long ParseNumber(std::string_view text, int base) {
    long value = 0;
    const char* begin = text.data();
    if (!text.empty() && text.front() == '+') ++begin;
    std::from_chars(begin, text.data() + text.size(), value, base);
    return value;
}

// Inline bytes are digits of a base-254 number (digit = byte - 2) of fixed length.
void AddBase254(Entry& entry, long step) {
    long carry = step;
    for (std::size_t i = entry.Size; i-- > 0 && carry != 0;) {
        long digit = entry.Inline[i] - 2 + carry;
        carry = digit >= 0 ? digit / 254 : -((253 - digit) / 254);
        digit -= carry * 254;
        entry.Inline[i] = static_cast<uint8_t>(digit + 2);
    }
}

// The entry of a kana token: optional x (small), consonant, vowel; "nn" is ん.
Entry KanaEntry(std::string_view token) {
    static constexpr std::string_view kRows = "akstnhmyrw", kVowels = "aiueo";
    Entry entry;
    entry.Type = Kind::Kana;
    entry.Size = 2;
    entry.Inline[0] = 0x7F;
    if (token.front() == 'x') {
        entry.Small = true;
        token.remove_prefix(1);
    }
    if (token == "nn") {
        entry.Inline[1] = 0x80;
        return entry;
    }
    char consonant = token.size() == 2 ? token[0] : 'a';
    const char vowel = token.back();
    // Voiced rows share the letters of the plain ones and add an extra byte.
    static constexpr struct {
        char Voiced, Plain;
        uint8_t Extra;
    } kVoiced[] = {{'g', 'k', 3}, {'z', 's', 3}, {'d', 't', 3}, {'b', 'h', 3}, {'p', 'h', 4}};
    for (const auto& voiced : kVoiced) {
        if (consonant != voiced.Voiced) continue;
        consonant = voiced.Plain;
        entry.Extra = voiced.Extra;
    }
    if (consonant == 'v') {  // ゔ on う, ヷヸヹヺ on わゐゑを
        consonant = vowel == 'u' ? 'a' : 'w';
        entry.Extra = 3;
    }
    entry.HasExtra = entry.Extra != 0;
    const std::size_t row = consonant == 'a' ? 0 : kRows.find(consonant);
    entry.Vowel = static_cast<int8_t>(kVowels.find(vowel));
    entry.Inline[1] = static_cast<uint8_t>(2 + 8 * row + static_cast<std::size_t>(entry.Vowel));
    return entry;
}

Entry ParseBody(std::string_view body) {
    Entry entry;
    if (body.front() == '!') {
        entry = ParseBody(body.substr(1));
        entry.Uncertain = true;
        return entry;
    }
    switch (body.front()) {
        case 'x':
            entry.Type = Kind::Ignored;
            return entry;
        case 'u':
        case 'p':
            entry.Type = body.front() == 'u' ? Kind::Unprintable : Kind::Modifier;
            entry.Code = static_cast<uint8_t>(ParseNumber(body.substr(1), 16));
            return entry;
        case 'k':
            return KanaEntry(body.substr(1));
        case '=':
            entry.Type = Kind::Same;
            entry.Offset =
                static_cast<int32_t>(ParseNumber(body.substr(2), 16)) * (body[1] == '-' ? -1 : 1);
            return entry;
        default:
            break;
    }
    entry.Type = Kind::Weight;
    const std::size_t slash = body.find('/');
    const std::string_view bytes = body.substr(0, slash);
    for (std::size_t i = 0; i + 1 < bytes.size() && entry.Size < entry.Inline.size(); i += 2) {
        entry.Inline[entry.Size++] =
            static_cast<uint8_t>(HexDigit(bytes[i]) * 16 + HexDigit(bytes[i + 1]));
    }
    if (slash != std::string_view::npos) {
        entry.HasExtra = true;
        entry.Extra = static_cast<uint8_t>(ParseNumber(body.substr(slash + 1), 16));
    }
    return entry;
}

// Unit i of a run: the body stepped i times.
Entry Stepped(Entry entry, long i, long step, long extraStep) {
    if (i == 0) return entry;
    switch (entry.Type) {
        case Kind::Weight:
            AddBase254(entry, i * step);
            entry.Extra = static_cast<uint8_t>(entry.Extra + i * extraStep);
            break;
        case Kind::Unprintable:
        case Kind::Modifier:
            entry.Code = static_cast<uint8_t>(entry.Code + i * step);
            break;
        default:
            break;
    }
    return entry;
}

void ParseItem(std::string_view item, std::size_t& unit, Table& table) {
    const std::size_t star = item.find('*');
    const Entry body = ParseBody(item.substr(0, star));
    long count = 1, step = 1, extraStep = 0;
    if (star != std::string_view::npos) {
        std::string_view run = item.substr(star + 1);
        const std::size_t colon = run.find(':');
        count = ParseNumber(run.substr(0, colon), 10);
        if (colon != std::string_view::npos) {
            run = run.substr(colon + 1);
            const std::size_t slash = run.find('/');
            step = ParseNumber(run.substr(0, slash), 10);
            if (slash != std::string_view::npos) extraStep = ParseNumber(run.substr(slash + 1), 10);
        }
    }
    for (long i = 0; i < count && unit < kUnits; ++i)
        table[unit++] = Stepped(body, i, step, extraStep);
}

// Follows "same as" entries to the entry they name.
void ResolveSame(Table& table) {
    for (std::size_t unit = 0; unit < kUnits; ++unit) {
        std::size_t target = unit;
        for (int guard = 0; table[target].Type == Kind::Same && guard < 8; ++guard)
            target = static_cast<std::size_t>(static_cast<long>(target) + table[target].Offset);
        if (target != unit) {
            const bool uncertain = table[unit].Uncertain;
            table[unit] = table[target];
            table[unit].Uncertain |= uncertain;
        }
    }
}

struct Tables {
    std::array<Table, 2> Orders{Table(kUnits), Table(kUnits)};
};

const Tables& AllWeights() {
    static const Tables tables = [] {
        Tables t;
        std::string_view rest = kWeights;
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
            const std::size_t first = line.find(' ');
            const std::string_view orders = line.substr(0, first);
            line = line.substr(first + 1);
            const std::size_t second = line.find(' ');
            const auto start = static_cast<std::size_t>(ParseNumber(line.substr(0, second), 16));
            line = line.substr(second + 1);
            for (const char order : orders) {
                Table& table = t.Orders[order == '1' ? 1 : 0];
                std::size_t unit = start;
                std::string_view items = line;
                while (!items.empty()) {
                    const std::size_t space = items.find(' ');
                    ParseItem(items.substr(0, space), unit, table);
                    items = space == std::string_view::npos ? std::string_view{}
                                                            : items.substr(space + 1);
                }
            }
        }
        for (Table& table : t.Orders)
            ResolveSame(table);
        return t;
    }();
    return tables;
}

bool IsSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

char32_t CharacterAt(std::u16string_view units, std::size_t i) {
    const char16_t unit = units[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF)
        return 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (char32_t{units[i + 1]} - 0xDC00);
    return unit;
}

// Three 2-bit values a byte, 80 | a<<4 | b<<2 | c, after dropping the trailing `dropped` ones.
std::string PackTwoBitValues(std::vector<int> values, int dropped) {
    while (!values.empty() && values.back() == dropped)
        values.pop_back();
    std::string packed;
    for (std::size_t i = 0; i < values.size(); i += 3) {
        int byte = 0x80 | values[i] << 4;
        if (i + 1 < values.size()) byte |= values[i + 1] << 2;
        if (i + 2 < values.size()) byte |= values[i + 2];
        packed.push_back(static_cast<char>(byte));
    }
    return packed;
}

class KeyBuilder {
  public:
    void Add(const Entry& entry) {
        switch (entry.Type) {
            case Kind::Weight:
            case Kind::Kana:
                if (entry.HasExtra) {
                    PadExtra();
                    extra_.push_back(static_cast<char>(entry.Extra));
                }
                inline_.append(reinterpret_cast<const char*>(entry.Inline.data()), entry.Size);
                if (entry.Type == Kind::Kana) {
                    flags_.push_back(entry.Small ? 2 : 3);
                    lengths_.push_back(entry.LongVowel ? 3 : 1);
                }
                ++position_;
                break;
            case Kind::Modifier:
                if (extra_.empty() && position_ == 0) {
                    // Before any letter it takes a byte of its own, outside the positions.
                    extra_.push_back(static_cast<char>(entry.Code));
                    lead_ = 1;
                    break;
                }
                PadExtra();
                extra_.back() = static_cast<char>(extra_.back() + entry.Code);
                break;
            case Kind::Unprintable: {
                const std::size_t at = 0x8000 | (7 + 4 * position_);
                unprintables_.push_back(static_cast<char>(at >> 8));
                unprintables_.push_back(static_cast<char>(at & 0xFF));
                unprintables_.push_back('\x06');
                unprintables_.push_back(static_cast<char>(entry.Code));
                break;
            }
            default:
                break;
        }
    }

    std::string Key(bool ascending, KanaTrailer trailer) {
        while (!extra_.empty() && static_cast<uint8_t>(extra_.back()) <= 2)
            extra_.pop_back();
        const bool hasKana = !flags_.empty();
        std::string body = inline_ + '\x01';
        const bool last = hasKana || !unprintables_.empty();
        if (!extra_.empty() || last) body += extra_;
        if (last) body += "\x01\x01";
        if (hasKana) {
            body += PackTwoBitValues(flags_, 3);
            body += KanaTail(trailer);
            if (!unprintables_.empty()) body.push_back('\xFF');
        }
        if (!unprintables_.empty()) body += '\x01' + unprintables_;
        body.push_back('\0');
        if (!ascending) {
            for (char& c : body)
                c = static_cast<char>(~c);
        }
        return ascending ? '\x7F' + body : '\x80' + body + '\0';
    }

  private:
    void PadExtra() {
        while (extra_.size() - lead_ < position_)
            extra_.push_back('\x02');
    }

    // After the kana flags: General writes FF 02 80 FF 80; Japanese writes FF, the long-vowel
    // section, 02, then one 80 per seven kana units, FF and those 80s again.
    std::string KanaTail(KanaTrailer trailer) const {
        if (trailer == KanaTrailer::General) return "\xFF\x02\x80\xFF\x80";
        const std::string width((lengths_.size() + 6) / 7, '\x80');
        return '\xFF' + PackTwoBitValues(lengths_, 1) + '\x02' + width + '\xFF' + width;
    }

    std::string inline_, extra_, unprintables_;
    std::vector<int> flags_;    // per kana unit: 2 small, 3 normal
    std::vector<int> lengths_;  // per kana unit: 1 letter, 3 long-vowel mark
    std::size_t position_ = 0;  // units with inline bytes so far
    std::size_t lead_ = 0;      // extra bytes before the first position
};

}  // namespace

const Table& GeneralWeights(uint8_t version) {
    return AllWeights().Orders[version == 0 ? 0 : 1];
}

// Surrogates are not in the table: high ones are plain big-endian (unit - 0x27FE), low ones a
// base-254 run from B4 F8; both with extra byte 3F.
Entry SurrogateEntry(char16_t unit) {
    Entry entry;
    entry.Type = Kind::Weight;
    entry.Size = 2;
    entry.HasExtra = true;
    entry.Extra = 0x3F;
    if (unit < 0xDC00) {
        const unsigned value = unit - 0x27FEu;
        entry.Inline[0] = static_cast<uint8_t>(value >> 8);
        entry.Inline[1] = static_cast<uint8_t>(value & 0xFF);
    } else {
        entry.Inline[0] = 0xB4;
        entry.Inline[1] = 0xF8;
        AddBase254(entry, unit - 0xDC00);
    }
    return entry;
}

Mark MarkOf(char16_t unit) {
    switch (unit) {
        case 0x30FC:  // ー
        case 0xFF70:  // ｰ
            return Mark::LongVowel;
        case 0x309D:  // ゝ
        case 0x30FD:  // ヽ
        case 0x3005:  // 々
        case 0x303B:  // 〻
            return Mark::Repeat;
        case 0x309E:  // ゞ
        case 0x30FE:  // ヾ
            return Mark::RepeatVoiced;
        case 0x3031:
        case 0x3032:
        case 0x3033:
        case 0x3034:
        case 0x3035:
        case 0x30A0:
            return Mark::Rare;
        default:
            return Mark::None;
    }
}

Entry MarkEntry(Mark mark, char16_t unit, const Entry& table, const Entry* previous) {
    if (!previous || mark == Mark::Rare) return table;
    Entry entry = *previous;
    if (mark == Mark::LongVowel) {
        if (previous->Type != Kind::Kana || previous->Vowel < 0) return table;
        entry.Inline[1] = static_cast<uint8_t>(2 + previous->Vowel);  // あ い う え お
        entry.Vowel = previous->Vowel;
        entry.Small = false;
        entry.HasExtra = false;
        entry.Extra = 0;
        return entry;
    }
    // ゝ ヽ give the unvoiced letter, ゞ ヾ the voiced one; 々 〻 repeat a kanji as it is.
    const bool kanaMark = unit != 0x3005 && unit != 0x303B;
    if (mark == Mark::RepeatVoiced || (kanaMark && previous->Type == Kind::Kana)) {
        entry.HasExtra = mark == Mark::RepeatVoiced;
        entry.Extra = entry.HasExtra ? 3 : 0;
    }
    return entry;
}

UnitKey MarkRule(char16_t unit, const Entry& entry, const Entry* previous, bool allowUnverified) {
    UnitKey key;
    if (entry.Type == Kind::Unsupported) {
        key.Status = KeyStatus::UnsupportedCharacter;
        return key;
    }
    Mark mark = MarkOf(unit);
    if (mark == Mark::None && entry.Uncertain) mark = Mark::Rare;
    if (mark == Mark::None) {
        key.Value = entry;
    } else if (!allowUnverified) {
        key.Status = KeyStatus::UnverifiedCharacter;
    } else {
        key.Value = MarkEntry(mark, unit, entry, previous);
    }
    return key;
}

TextKeyResult BuildKey(std::u16string_view units, UnitRule rule, KanaTrailer trailer,
                       bool ascending, bool allowUnverified) {
    TextKeyResult result;
    units = units.substr(0, kKeyUnits);
    while (!units.empty() && units.back() == u' ')
        units.remove_suffix(1);
    KeyBuilder builder;
    Entry previous;
    bool hasPrevious = false;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        UnitKey key;
        if (IsSurrogate(unit)) {
            key.Value = SurrogateEntry(unit);
        } else {
            key = rule(unit, hasPrevious ? &previous : nullptr, allowUnverified);
        }
        if (key.Status != KeyStatus::Ok) {
            result.Status = key.Status;
            result.Character = CharacterAt(units, i);
            return result;
        }
        if (key.Value.Type == Kind::Weight || key.Value.Type == Kind::Kana) {
            previous = key.Value;
            hasPrevious = true;
        }
        builder.Add(key.Value);
    }
    result.Bytes = builder.Key(ascending, trailer);
    return result;
}

}  // namespace vantrel::access::textkey
