// The monitor's page as compiled into the program: one document that holds
// its scripts, styles and chart library, loads nothing else, and has the
// elements that scripts and tests find by id.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "MonitorPage.h"

namespace tessary::monitor {
namespace {

TEST(MonitorPage, IsOneDocumentWithItsScriptsAndChartLibraryInside) {
    const std::string_view page = MonitorPageHtml();
    EXPECT_TRUE(page.starts_with("<!DOCTYPE html>")) << page.substr(0, 100);
    EXPECT_TRUE(page.ends_with("</html>\n"));
    EXPECT_NE(page.find("Dygraph"), std::string_view::npos) << "the chart library";
    EXPECT_NE(page.find("new EventSource"), std::string_view::npos) << "the page's own script";
    EXPECT_NE(page.find(".dygraph-legend"), std::string_view::npos) << "the chart library's styles";
    EXPECT_EQ(page.find('\0'), std::string_view::npos);
}

TEST(MonitorPage, LoadsNothingFromElsewhere) {
    const std::string_view page = MonitorPageHtml();
    for (const char* reference : {"<script src", "<link rel=\"stylesheet\"", "src=\"http", "href=\"http",
                                  "src=\"//", "sourceMappingURL"})
        EXPECT_EQ(page.find(reference), std::string_view::npos) << reference;
}

TEST(MonitorPage, HasTheElementsFoundById) {
    const std::string_view page = MonitorPageHtml();
    for (const char* id : {"state", "board-select", "channel-select", "spectrum", "start-button", "token-input",
                           "token-save"})
        EXPECT_NE(page.find("id=\"" + std::string(id) + "\""), std::string_view::npos) << id;
    // Per board, made by the script.
    EXPECT_NE(page.find("detected-khz"), std::string_view::npos);
}

}  // namespace
}  // namespace tessary::monitor
