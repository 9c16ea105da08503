#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace grize::test {

struct TestEntry {
    const char* name;
    std::function<std::unique_ptr<QObject>()> make;
};

inline std::vector<TestEntry>& registry() {
    static std::vector<TestEntry> entries;
    return entries;
}

template <typename T>
struct Registrar {
    explicit Registrar(const char* name) {
        registry().push_back({name, [] { return std::make_unique<T>(); }});
    }
};

}  // namespace grize::test

#define GRIZE_APP_TEST(Class) static const grize::test::Registrar<Class> registrar##Class(#Class)
