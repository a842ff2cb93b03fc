// The bar chart's tick labels as GDI measures them: the chart asks the
// installed driver for their widths, and they must keep apart with the Win32
// driver's fonts (the default face at the text's size, as the chart draws
// it), not only with the headless driver's rule. (Value texts start past
// their error bars whatever their width.)
#include "W32TestSupport.h"
#include "bench/ChartView.h"
#include "tests/bench/ChartTestSupport.h"

namespace quorl::test {
namespace {

using charttest::kSpreadTops;

TEST_F(Win32DriverTest, ChartTickLabelsKeepApartInGdiMeasures) {
  auto tree = make<UXViewTree>();
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
        const std::vector<std::string> faults = charttest::tickLabelsTooClose(g, *d);
        EXPECT_TRUE(faults.empty()) << faults.size() << " faults, the first: " << faults.front();
      }
  }
}

}  // namespace
}  // namespace quorl::test
