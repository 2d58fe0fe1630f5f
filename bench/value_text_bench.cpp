// ParseValue and FormatValue against the standard library's conversions, on
// the text a user types (two-decimal amounts up to a million, percentages)
// and on random doubles. Run: build/native/bench/value_text_bench
// On a busy machine, count instructions instead, which do not depend on the
// load: run one benchmark (--benchmark_filter) under valgrind
// --tool=callgrind and divide the inclusive cost of its conversion (the
// Format* wrapper, ParseValue or from_chars) by its calls, as
// callgrind_annotate --inclusive=yes --tree=caller shows them.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "value_text.h"

namespace {

std::vector<double> RealisticValues() {
  std::mt19937_64 rng(1);
  std::uniform_int_distribution<long long> pence(0, 100000000);
  std::uniform_int_distribution<int> percent(0, 10000);
  std::vector<double> values;
  for (int i = 0; i < 4096; ++i) {
    values.push_back(i % 3 == 0 ? percent(rng) / 100.0 : static_cast<double>(pence(rng)) / 100.0);
  }
  return values;
}

std::vector<double> RandomValues() {
  std::mt19937_64 rng(2);
  std::uniform_real_distribution<double> exponent(-10, 15);
  std::vector<double> values;
  for (int i = 0; i < 4096; ++i) values.push_back(std::pow(10.0, exponent(rng)));
  return values;
}

std::vector<std::string> AsText(const std::vector<double>& values) {
  std::vector<std::string> texts;
  for (double v : values) texts.push_back(ratecalc::FormatValue(v));
  return texts;
}

const std::vector<std::string>& RealisticText() {
  static const std::vector<std::string> texts = AsText(RealisticValues());
  return texts;
}

const std::vector<std::string>& RandomText() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> out;
    char buf[64];
    for (double v : RandomValues()) {
      const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
      out.emplace_back(buf, end);
    }
    return out;
  }();
  return texts;
}

template <class Parse>
void RunParse(benchmark::State& state, const std::vector<std::string>& texts, Parse parse) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(parse(texts[i]));
    i = (i + 1) % texts.size();
  }
}

double ParseOurs(const std::string& s) { return ratecalc::ParseValue(s); }
double ParseFromChars(const std::string& s) {
  double v = 0;
  std::from_chars(s.data(), s.data() + s.size(), v);
  return v;
}
double ParseStrtod(const std::string& s) { return std::strtod(s.c_str(), nullptr); }

void BM_Parse_Realistic_ParseValue(benchmark::State& s) { RunParse(s, RealisticText(), ParseOurs); }
void BM_Parse_Realistic_FromChars(benchmark::State& s) {
  RunParse(s, RealisticText(), ParseFromChars);
}
void BM_Parse_Realistic_Strtod(benchmark::State& s) { RunParse(s, RealisticText(), ParseStrtod); }
void BM_Parse_Random_ParseValue(benchmark::State& s) { RunParse(s, RandomText(), ParseOurs); }
void BM_Parse_Random_FromChars(benchmark::State& s) { RunParse(s, RandomText(), ParseFromChars); }
void BM_Parse_Random_Strtod(benchmark::State& s) { RunParse(s, RandomText(), ParseStrtod); }

template <class Format>
void RunFormat(benchmark::State& state, const std::vector<double>& values, Format format) {
  std::size_t i = 0;
  char buf[400];
  for (auto _ : state) {
    benchmark::DoNotOptimize(format(values[i], buf));
    benchmark::ClobberMemory();
    i = (i + 1) % values.size();
  }
}

std::size_t FormatOurs(double v, char*) { return ratecalc::FormatValue(v).size(); }
std::size_t FormatToChars(double v, char* buf) {
  return static_cast<std::size_t>(
      std::to_chars(buf, buf + 400, v, std::chars_format::fixed, 2).ptr - buf);
}
std::size_t FormatSnprintf(double v, char* buf) {
  return static_cast<std::size_t>(std::snprintf(buf, 400, "%.2f", v));
}

const std::vector<double>& Realistic() {
  static const std::vector<double> v = RealisticValues();
  return v;
}
const std::vector<double>& Random() {
  static const std::vector<double> v = RandomValues();
  return v;
}

void BM_Format_Realistic_FormatValue(benchmark::State& s) { RunFormat(s, Realistic(), FormatOurs); }
void BM_Format_Realistic_ToChars(benchmark::State& s) { RunFormat(s, Realistic(), FormatToChars); }
void BM_Format_Realistic_Snprintf(benchmark::State& s) {
  RunFormat(s, Realistic(), FormatSnprintf);
}
void BM_Format_Random_FormatValue(benchmark::State& s) { RunFormat(s, Random(), FormatOurs); }
void BM_Format_Random_ToChars(benchmark::State& s) { RunFormat(s, Random(), FormatToChars); }
void BM_Format_Random_Snprintf(benchmark::State& s) { RunFormat(s, Random(), FormatSnprintf); }

}  // namespace

BENCHMARK(BM_Parse_Realistic_ParseValue);
BENCHMARK(BM_Parse_Realistic_FromChars);
BENCHMARK(BM_Parse_Realistic_Strtod);
BENCHMARK(BM_Parse_Random_ParseValue);
BENCHMARK(BM_Parse_Random_FromChars);
BENCHMARK(BM_Parse_Random_Strtod);
BENCHMARK(BM_Format_Realistic_FormatValue);
BENCHMARK(BM_Format_Realistic_ToChars);
BENCHMARK(BM_Format_Realistic_Snprintf);
BENCHMARK(BM_Format_Random_FormatValue);
BENCHMARK(BM_Format_Random_ToChars);
BENCHMARK(BM_Format_Random_Snprintf);
