#include "gui/settings/QtWindowSettings.h"

#include <QLocale>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "errors/Quietly.h"
#include "platform/SettingsFile.h"

namespace grize {

namespace {

// The user's own values only: no organisation-wide or system-wide fallbacks.
// Each load or save opens the store afresh; QSettings writes what was set
// when it goes.
class Store {
  public:
    Store()
        : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Ashgrove"),
                    QStringLiteral("Grize")) {
        settings_.setFallbacksEnabled(false);
    }

    // The stored text; nothing when the value is missing or not text (a
    // number, binary data or a list in the registry).
    std::optional<std::string> text(const char* name) const {
        const QVariant value = settings_.value(QString::fromLatin1(name));
        // The file's reader splits a value at each unquoted comma, a
        // decimal comma too; joined again it is the text as written, but for
        // blanks next to a comma, which the reader drops.
        if (value.typeId() == QMetaType::QStringList && settingsInTextFile()) {
            return value.toStringList().join(QLatin1Char(',')).toStdString();
        }
        if (value.typeId() != QMetaType::QString) {
            return std::nullopt;
        }
        return value.toString().toStdString();
    }

    // Writes a value unless it already holds this very text, so that a close
    // that changed nothing writes nothing. Always a string: REG_SZ in the
    // registry, which is what every stored setting already holds and reads.
    void save(const char* name, const std::string& text) {
        if (this->text(name) != text) {
            settings_.setValue(QString::fromLatin1(name), QString::fromStdString(text));
        }
    }

  private:
    QSettings settings_;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The decimal separator of the user's locale, the process's QLocale; "." is
// always accepted too, since that is what a save writes. Empty when the
// locale's could be read as part of a number.
std::string localeSeparator() {
    const QString point = QLocale().decimalPoint();
    const bool plain = !point.isEmpty() && std::none_of(point.begin(), point.end(), [](QChar c) {
        return c.isDigit() || c.isSpace() || c == u'+' || c == u'-';
    });
    return plain ? point.toStdString() : std::string();
}

// Decimal text to a whole number: blanks around it, an optional sign, digits
// with an optional fraction that rounds half to even. Anything else, or a
// result out of Int's range, fails and leaves number as it was.
template <class Int>
bool convertToWhole(const std::optional<std::string>& value, Int& number) {
    if (!value) {
        return false;
    }
    std::string_view text = *value;
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return false;
    }
    text = text.substr(first, text.find_last_not_of(" \t") - first + 1);

    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }

    constexpr std::uint64_t kCap = std::uint64_t{1} << 40;  // far beyond any Int
    std::uint64_t whole = 0;
    bool anyDigit = false;
    std::size_t i = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        anyDigit = true;
        whole = std::min(kCap, whole * 10 + static_cast<std::uint64_t>(text[i] - '0'));
    }
    bool roundUp = false;
    const std::string separator = localeSeparator();
    const std::string_view rest = text.substr(i);
    if (rest.starts_with('.') || (!separator.empty() && rest.starts_with(separator))) {
        i += rest.starts_with('.') ? 1 : separator.size();
        const std::size_t start = i;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            anyDigit = true;
        }
        const std::string_view fraction = text.substr(start, i - start);
        if (!fraction.empty() && fraction[0] > '5') {
            roundUp = true;
        } else if (!fraction.empty() && fraction[0] == '5') {
            const bool aboveHalf = fraction.find_first_not_of('0', 1) != std::string_view::npos;
            roundUp = aboveHalf || whole % 2 == 1;
        }
    }
    if (!anyDigit || i != text.size()) {
        return false;
    }
    if (roundUp) {
        ++whole;
    }
    const auto max = static_cast<std::uint64_t>(std::numeric_limits<Int>::max());
    if (whole > (negative ? max + 1 : max)) {
        return false;
    }
    const auto magnitude = static_cast<std::int64_t>(whole);
    number = static_cast<Int>(negative ? -magnitude : magnitude);
    return true;
}

// A whole number of twips as its digits; a fraction as a short decimal.
std::string twipsToText(float twips) {
    if (std::isfinite(twips) && std::trunc(twips) == twips && std::fabs(twips) < 1e15f) {
        return std::to_string(static_cast<long long>(twips));
    }
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, twips, std::chars_format::general, 7);
    return std::string(text, result.ptr);
}

}  // namespace

void QtWindowSettings::loadPosition(PositionTarget& window) {
    const Store store;
    // Nothing stored yet: the window keeps the place it chose for itself,
    // where the user is looking, rather than the screen's corner.
    if (!store.text("Left") && !store.text("Top")) {
        return;
    }
    quietly([&] { convertToWhole(store.text("Left"), position_); });
    quietly([&] { window.setLeft(static_cast<float>(position_)); });
    quietly([&] { convertToWhole(store.text("Top"), position_); });
    quietly([&] { window.setTop(static_cast<float>(position_)); });
}

void QtWindowSettings::loadAutoquit(CheckBoxTarget& check) {
    const Store store;
    quietly([&] { convertToWhole(store.text("Autoquit"), autoquit_); });
    quietly([&] { check.setValue(autoquit_); });
}

void QtWindowSettings::loadStrong(CheckBoxTarget& check) {
    const Store store;
    // Anything but a stored 1 leaves the box off, the default.
    quietly([&] { check.setValue(store.text("Strong") == "1" ? 1 : 0); });
}

void QtWindowSettings::saveStrong(const CheckBoxTarget& check) {
    Store store;
    // Nothing is written for a box never checked: the store stays as it was.
    quietly([&] {
        if (check.value() == 1 || store.text("Strong")) {
            store.save("Strong", check.value() == 1 ? "1" : "0");
        }
    });
}

void QtWindowSettings::save(const PositionTarget& window, const CheckBoxTarget& check) {
    Store store;
    quietly([&] { store.save("Left", twipsToText(window.left())); });
    quietly([&] { store.save("Top", twipsToText(window.top())); });
    quietly([&] { store.save("Autoquit", std::to_string(check.value())); });
}

}  // namespace grize
