// Writes the case folding the walk orders names by, as Qt's Unicode data gives it, into a
// table the interpreter compiles in: the interpreter then needs no Qt at run time, and starts
// as a bare program does. Built and run during the build only.
#include <QChar>

#include <cstdio>
#include <vector>

int main() {
    constexpr char32_t kEnd = 0x110000;
    constexpr char32_t kPage = 256;
    std::vector<int> pageOf(kEnd / kPage, 0);
    std::vector<std::vector<long>> pages{std::vector<long>(kPage, 0)}; // page 0: no change
    for (char32_t first = 0; first < kEnd; first += kPage) {
        std::vector<long> deltas(kPage, 0);
        bool any = false;
        for (char32_t c = first; c < first + kPage; ++c) {
            deltas[c - first] = long(QChar::toCaseFolded(c)) - long(c);
            any = any || deltas[c - first] != 0;
        }
        if (any) {
            pageOf[first / kPage] = int(pages.size());
            pages.push_back(deltas);
        }
    }
    std::printf("// Made from Qt %s's case folding by mixgen_casefoldgen during the build.\n",
                qVersion());
    std::printf("constexpr std::uint16_t kFoldPageOf[%zu] = {", pageOf.size());
    for (std::size_t i = 0; i < pageOf.size(); ++i)
        std::printf("%s%d", i == 0 ? "\n" : i % 32 ? "," : ",\n", pageOf[i]);
    std::printf("};\nconstexpr std::int32_t kFoldDelta[%zu][%u] = {", pages.size(),
                unsigned(kPage));
    for (const auto& page : pages) {
        std::printf("\n{");
        for (std::size_t i = 0; i < page.size(); ++i)
            std::printf("%s%ld", i ? "," : "", page[i]);
        std::printf("},");
    }
    std::printf("};\n");
    return 0;
}
