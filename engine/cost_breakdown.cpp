#include "cost_breakdown.h"

#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace ratecalc {
namespace {

// A line of a sum and whether it is added or taken away.
struct Term {
  std::string_view text;
  int sign;
};

// FormatValue's texts are numbers with two decimals, or inf, -inf and nan.
bool IsNumber(std::string_view text) { return text.size() >= 4 && text[text.size() - 3] == '.'; }

// The digit of a two-decimal text at `place` counted from the pennies (0),
// past the point; 0 beyond its first digit.
int DigitAt(std::string_view text, std::size_t place) {
  const std::size_t first = text[0] == '-' ? 1 : 0;
  const std::size_t from_end = place + (place >= 2 ? 1 : 0);
  if (from_end >= text.size() - first) return 0;
  const int digit = text[text.size() - 1 - from_end] - '0';
  return text[0] == '-' ? -digit : digit;
}

// Whether the signed sum of the texts is exactly zero. Worked on the digits,
// penny by penny, so that a figure beyond the pennies a double holds is
// summed exactly; a text that is no number (inf, nan) never adds up.
bool SumsToZero(std::initializer_list<Term> terms) {
  std::size_t longest = 0;
  for (const Term& term : terms) {
    if (!IsNumber(term.text)) return false;
    if (term.text.size() > longest) longest = term.text.size();
  }
  int carry = 0;
  for (std::size_t place = 0; place < longest; ++place) {
    int column = carry;
    for (const Term& term : terms) column += term.sign * DigitAt(term.text, place);
    // Every column must leave a 0 for the sum to be zero; what it carries
    // is exact, whatever its sign.
    if (column % 10 != 0) return false;
    carry = column / 10;
  }
  return carry == 0;
}

}  // namespace

CostBreakdown BreakdownOf(const RateModel& model) {
  const OnCosts on_costs = OnCostsOf(model);
  CostBreakdown b{FormatValueText(model.nPayAmt),
                  model.bCalcWTR != 0,
                  FormatValueText(model.nWTRPct),
                  FormatValueText(on_costs.wtr),
                  model.bCalcERNI != 0,
                  FormatValueText(model.nERNIPct),
                  FormatValueText(on_costs.erni),
                  FormatValueText(on_costs.cost),
                  FormatValueText(model.nMarginAmt),
                  FormatValueText(model.nMarginPct),
                  FormatValueText(model.nChargeAmt),
                  false};
  b.adds_up =
      SumsToZero({{b.pay.view(), 1}, {b.wtr.view(), 1}, {b.erni.view(), 1}, {b.cost.view(), -1}}) &&
      SumsToZero({{b.cost.view(), 1}, {b.margin.view(), 1}, {b.charge.view(), -1}});
  return b;
}

}  // namespace ratecalc
