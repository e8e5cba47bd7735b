// The unit tests answer failures as the show does (util/fatal_report.h), so
// the death tests see the show's report and exit code.
#include "util/fatal_report.h"

namespace {

const bool kShowsAnswer = (setFailureHandler(reportFatally), true);

}  // namespace
