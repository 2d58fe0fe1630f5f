// The worked examples in the help, recomputed with the engine, so that the
// pages cannot drift from the program. Each example is a
// <div class="example MODE FOCUS">; every figure in it is a
// <span class="QUANTITY ...">, where a field's figure is named by its
// settings key, and the figures in its table are the fields before Enter
// (those marked "derived" are worked out, so start at zero).
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "model_keys.h"
#include "rate_model.h"
#include "value_text.h"

namespace ratecalc {
namespace {

std::string ReadHelpPage() {
  std::ifstream in(RATECALC_HELP_EXAMPLES, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A field's figure, by the key name the page marks it with.
double* Field(RateModel& m, const std::string& name) {
  for (const FigureKey& figure : kFigures) {
    if (name == figure.key) return &(m.*figure.member);
  }
  return nullptr;
}

// The figure a quantity's name stands for, from the model after Enter.
bool Quantity(RateModel m, const std::string& name, double& value) {
  if (const double* field = Field(m, name)) {
    value = *field;
  } else if (name == "cost") {
    value = m.nChargeAmt - m.nMarginAmt;
  } else if (name == "wtrf" || name == "ernif") {
    value = 1.0 + (name == "wtrf" ? m.nWTRPct : m.nERNIPct) / 100.0;
  } else if (name == "keep") {
    value = 100.0 - m.nMarginPct;
  } else {
    return false;
  }
  return true;
}

// Two decimals as the window shows them; others rounded to the decimals
// written, or cut off there when "..." follows.
bool Matches(const std::string& text, double value) {
  const bool cut = text.size() > 3 && text.ends_with("...");
  const std::string figure = cut ? text.substr(0, text.size() - 3) : text;
  const auto point = figure.find('.');
  const int decimals = point == std::string::npos ? 0 : static_cast<int>(figure.size() - point - 1);
  if (decimals == 2 && !cut) return figure == FormatValue(value);
  const double unit = std::pow(10.0, -decimals);
  const double written = ParseValue(figure);
  return cut ? value >= written && value - written < unit : std::fabs(value - written) <= unit / 2;
}

void CheckFigures(const std::string& html, const RateModel& m, const std::string& where) {
  const std::regex span(R"re(<span class="([A-Za-z]+)[^"]*">([^<]*)</span>)re");
  int count = 0;
  for (std::sregex_iterator it(html.begin(), html.end(), span), end; it != end; ++it, ++count) {
    double value = 0.0;
    ASSERT_TRUE(Quantity(m, (*it)[1], value)) << where << ": unknown quantity " << (*it)[1];
    EXPECT_TRUE(Matches((*it)[2], value)) << where << ": " << (*it)[1] << " is " << (*it)[2]
                                          << " on the page, " << value << " in the program";
  }
  EXPECT_GT(count, 0) << where << ": no figures";
}

TEST(HelpExamples, EveryFigureIsTheProgramsOwn) {
  const std::string page = ReadHelpPage();
  ASSERT_FALSE(page.empty()) << RATECALC_HELP_EXAMPLES;
  const std::regex example(
      R"re(<div class="example (Pay|Charge|Margin) (None|Amount|Percent)">([\s\S]*?)</div>)re");
  const std::regex cell(R"re(<td[^>]*><span class="([A-Za-z]+)( derived)?">([^<]*)</span></td>)re");
  int examples = 0;
  for (std::sregex_iterator it(page.begin(), page.end(), example), end; it != end; ++it) {
    const std::string mode = (*it)[1], focus = (*it)[2], html = (*it)[3];
    RateModel m;
    m.sCalcMode = mode == "Pay"      ? CalcMode::Pay
                  : mode == "Charge" ? CalcMode::Charge
                                     : CalcMode::Margin;
    int fields = 0;
    for (std::sregex_iterator c(html.begin(), html.end(), cell), e; c != e; ++c, ++fields) {
      double* field = Field(m, (*c)[1]);
      ASSERT_NE(field, nullptr) << mode << ": table column " << (*c)[1];
      *field = (*c)[2].matched ? 0.0 : ParseValue((*c)[3].str());
    }
    EXPECT_EQ(fields, 6) << mode << ": the table must show the six fields";
    Calculate(m, focus == "Percent"  ? MarginFocus::Percent
                 : focus == "Amount" ? MarginFocus::Amount
                                     : MarginFocus::None);
    CheckFigures(html, m, mode + " example");
    ++examples;
  }
  EXPECT_EQ(examples, 3);
  // The figures outside the examples are the program's defaults.
  CheckFigures(std::regex_replace(page, example, ""), RateModel{}, "introduction");
}

}  // namespace
}  // namespace ratecalc
