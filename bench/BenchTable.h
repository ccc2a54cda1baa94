#pragma once

// The one table `make bench` prints: each row a figure (the median of several runs, with
// their spread), its target and PASS or MISS.
#include <string>
#include <vector>

namespace rq::bench {

struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
    double p99 = 0;
};
[[nodiscard]] Spread SpreadOf(std::vector<double> values);

struct Row {
    std::string what;
    std::string figure;  // "median (min..max)" with its unit
    std::string target;
    bool pass = false;
    bool skipped = false;  // could not be measured here (why in figure)
    bool decides = true;   // false: a figure for reading beside the others, no target
};

class Table {
  public:
    // Adds a row whose figure is the median of `values`, passing when it is at most `limit`.
    void addAtMost(std::string what, const std::vector<double>& values, double limit,
                   const std::string& unit, int decimals);
    void add(Row row);
    void skip(std::string what, std::string why, std::string target);
    void note(std::string what, std::string figure);
    // Prints the table; returns true when no row missed.
    bool print() const;

  private:
    std::vector<Row> rows_;
};

[[nodiscard]] std::string Format(double value, int decimals);

}  // namespace rq::bench
