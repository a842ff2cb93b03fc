// The bar chart's texts as GDI measures them: the chart asks the installed
// driver for its tick labels' widths and places value texts by its error
// bars, and both must hold with the Win32 driver's fonts (the default face
// at the text's size, as the chart draws it), not only with the headless
// driver's rule.
#include "W32TestSupport.h"
#include "bench/ChartView.h"
#include "tests/bench/ChartTestSupport.h"

namespace quorl::test {
namespace {

using charttest::kSpreadTops;

TEST_F(Win32DriverTest, ChartValueTextsAndTickLabelsKeepClearInGdiMeasures) {
  auto tree = make<UXViewTree>();
  int checked = 0;
  std::vector<int64_t> tops(std::begin(kSpreadTops), std::end(kSpreadTops));
  tops.push_back(98765432109876543);  // labels of 17 bytes and more
  for (int64_t top : tops) {
    const Ref<DataSet> data = charttest::spreadBars(top);
    for (int metric : {0, 1})
      for (int width : {320, 640, 1024, 1600}) {
        SCOPED_TRACE("top " + std::to_string(top) + " us, metric " + std::to_string(metric) + ", width " +
                     std::to_string(width));
        auto view = make<ChartView>();
        view->attachTo(tree, UXRect(0, 0, int16_t(width), 2000));
        view->dataSet = data;
        view->filter = make<Filter>();
        view->metric = metric;
        view->rebuild();
        RecordingGraphics g;
        view->drawRect(g, UXRect(0, 0, int16_t(width), 2000));
        std::vector<std::string> faults = charttest::valueTextsOverErrorBars(g, *d, checked);
        for (const std::string& f : charttest::tickLabelsTooClose(g, *d)) faults.push_back(f);
        EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << faults.front();
      }
  }
  EXPECT_GT(checked, 300);
}

}  // namespace
}  // namespace quorl::test
