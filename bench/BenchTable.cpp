#include "BenchTable.h"

#include <algorithm>
#include <cstdio>
#include <iomanip>
#include <sstream>

namespace rq::bench {

Spread SpreadOf(std::vector<double> values) {
    if (values.empty()) {
        return {};
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double p) {
        return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
    };
    return {at(0.5), values.front(), values.back(), at(0.99)};
}

std::string Format(double value, int decimals) {
    std::ostringstream out;
    out << std::fixed << std::setprecision(decimals) << value;
    return out.str();
}

void Table::addAtMost(std::string what, const std::vector<double>& values, double limit,
                      const std::string& unit, int decimals) {
    const Spread s = SpreadOf(values);
    std::string figure = Format(s.median, decimals) + unit;
    if (values.size() > 1) {
        figure += " (" + Format(s.min, decimals) + ".." + Format(s.max, decimals) +
                  ", n=" + std::to_string(values.size()) + ")";
    }
    add({std::move(what), std::move(figure), "<= " + Format(limit, decimals) + unit,
         s.median <= limit, false});
}

void Table::add(Row row) {
    std::fprintf(stderr, "  %-58s %s\n", row.what.c_str(), row.figure.c_str());
    rows_.push_back(std::move(row));
}

void Table::skip(std::string what, std::string why, std::string target) {
    add({std::move(what), std::move(why), std::move(target), true, true});
}

void Table::note(std::string what, std::string figure) {
    add({std::move(what), std::move(figure), "", true, false, false});
}

bool Table::print() const {
    std::size_t whatWidth = 4;
    std::size_t figureWidth = 6;
    for (const Row& row : rows_) {
        whatWidth = std::max(whatWidth, row.what.size());
        figureWidth = std::max(figureWidth, row.figure.size());
    }
    const int w = static_cast<int>(whatWidth);
    const int f = static_cast<int>(figureWidth);
    std::printf("\n%-*s  %-*s  %-14s  %s\n", w, "what", f, "figure", "target", "result");
    bool allPass = true;
    for (const Row& row : rows_) {
        const char* result = row.skipped ? "SKIP" : !row.decides ? "" : row.pass ? "PASS" : "MISS";
        std::printf("%-*s  %-*s  %-14s  %s\n", w, row.what.c_str(), f, row.figure.c_str(),
                    row.target.c_str(), result);
        allPass = allPass && row.pass;
    }
    return allPass;
}

}  // namespace rq::bench
