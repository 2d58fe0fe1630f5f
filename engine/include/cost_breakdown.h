// What the charge is made of, line by line, each figure rounded on its own
// as the window rounds it: the pay, the on-costs in pounds, the cost, the
// margin and the charge.
#pragma once

#include "rate_model.h"
#include "value_text.h"

namespace ratecalc {

struct CostBreakdown {
  ValueText pay;
  bool wtr_on;  // a switched-off on-cost has no line
  ValueText wtr_pct;
  ValueText wtr;
  bool erni_on;
  ValueText erni_pct;
  ValueText erni;
  ValueText cost;
  // The margin is the window's own, so the breakdown never contradicts the
  // fields above it.
  ValueText margin;
  ValueText margin_pct;
  ValueText charge;
  // The rounded lines add up to the penny: the pay and its on-costs to the
  // cost, the cost and the margin to the charge. Rounding each line alone
  // may lose a penny, and figures that no one calculation gave (a refused
  // one, figures read back rounded) need not add up at all; the front end
  // says so rather than adjust a line.
  bool adds_up;
};

CostBreakdown BreakdownOf(const RateModel& model);

}  // namespace ratecalc
