// tarnctl report against kx940-sim: the pages and texts of the PDF (read back with pdftotext),
// the exit code that tells whether the gateway holds the file, and a gateway that fails on the
// way, which leaves the old report as it was.
#include "e2e_support.h"
#include "support/recording_ui.h"

#include "config/config_file.h"
#include "print/document_layout.h"
#include "text/cp1252.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace tarn::e2e {
namespace {

const std::string kTarnctl = TARN_TARNCTL;

// The text of each page of a PDF.
std::vector<std::string> PdfPages(const testing::TempDir& tmp, const std::string& pdf)
{
    const ToolResult r = RunTool(tmp.path(), PDFTOTEXT_PATH, {"-layout", pdf, "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> pages;
    for (std::size_t at = 0, end; (end = r.out.find('\f', at)) != std::string::npos; at = end + 1)
        pages.push_back(r.out.substr(at, end - at));
    return pages;
}

bool Has(const std::string& page, const std::string& text) { return page.find(text) != std::string::npos; }

// The shared gateway holds the plant: the report says so, shows what status and a poll show,
// and ends 0. Then a changed plant in the gateway: the differences come first, named with both
// values, and the report ends 1.
TEST(SharedGatewayReport, ShowsTheGatewayAsItIsAndItsDifferencesFromTheFile)
{
    testing::TempDir tmp;
    const std::string port = SharedSimulatorLink("serial"), modbus = SharedSimulatorLink("modbus");
    ASSERT_TRUE(std::filesystem::exists(port)) << "run through ctest: the simulator fixture sets TARN_SIM_DIR";
    SystemConfiguration plant = GatewayPlant();
    SetFieldText(plant.MASTER_TAG, "PLANT A");
    const std::string file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(plant));
    ASSERT_EQ(RunTool(tmp.path(), kTarnctl, {"write", "--port", port, file}).exitCode, 0);

    const std::string pdf = tmp.file("report.pdf");
    const ToolResult equal = RunTool(tmp.path(), kTarnctl, {"report", "--port", port, "--modbus", modbus, file, "-o", pdf});
    ASSERT_EQ(equal.exitCode, 0) << equal.err;
    std::vector<std::string> pages = PdfPages(tmp, pdf);
    // Cover, the document's pages, comparison with status, live values.
    const std::size_t documentPages = DocumentPages(plant).size();
    ASSERT_EQ(pages.size(), 1 + documentPages + 2);
    for (const char* text : {"Commissioning Report", "Installation:", "PLANT A", "Program version:", "Engineer", "Customer",
                             "Signature:"})
        EXPECT_TRUE(Has(pages[0], text)) << text << "\n" << pages[0];
    EXPECT_TRUE(Has(pages[0], TARN_VERSION)) << pages[0];
    EXPECT_TRUE(Has(pages[0], port)) << pages[0];
    EXPECT_TRUE(Has(pages[1], "Tag of Master:")) << "the configuration document follows the cover";
    const std::string& comparison = pages[1 + documentPages];
    EXPECT_TRUE(Has(comparison, "The KX940 holds the configuration of the file.")) << comparison;
    // The simulator's own units, whatever the file says: as tarnctl status shows them.
    EXPECT_TRUE(Has(comparison, "KX913 + 1 x KX914")) << comparison;
    EXPECT_TRUE(Has(comparison, "KX927")) << comparison;
    EXPECT_TRUE(Has(comparison, "99")) << comparison;
    const std::string& live = pages.back();
    EXPECT_TRUE(Has(live, "Live values over Modbus")) << live;
    // Position 1 shows its two modules found (32 channels), position 2 the KX927's channels.
    EXPECT_TRUE(Has(live, "1-32")) << live;
    EXPECT_FALSE(Has(live, "1-33")) << live;
    EXPECT_TRUE(Has(live, Cp1252ToUtf8(std::string(FieldText(plant.units[0].channels[0].tag))))) << live;

    SystemConfiguration changed = plant;
    SetFieldText(changed.MASTER_TAG, "PLANT B");
    changed.MASTER_FREQ = 0;
    const std::string other = testing::WriteFile(tmp.file("other.mcf"), FormatConfiguration(changed));
    ASSERT_EQ(RunTool(tmp.path(), kTarnctl, {"write", "--port", port, other}).exitCode, 0);
    const ToolResult differs = RunTool(tmp.path(), kTarnctl, {"report", "--port", port, file, "-o", pdf});
    ASSERT_EQ(differs.exitCode, 1) << differs.err;
    pages = PdfPages(tmp, pdf);
    ASSERT_EQ(pages.size(), 1 + documentPages + 1) << "no live values without --modbus";
    const std::string& listed = pages.back();
    const auto tagRow = listed.find("PLANT A"), frequencyRow = listed.find("Line frequency");
    EXPECT_NE(listed.find("PLANT B", tagRow), std::string::npos) << listed;
    EXPECT_LT(tagRow, frequencyRow) << listed;
    EXPECT_LT(frequencyRow, listed.find("Items equal:")) << listed;
    ASSERT_EQ(RunTool(tmp.path(), kTarnctl, {"write", "--port", port, file}).exitCode, 0);
}

// A gateway that stops answering, or whose adapter is pulled, writes no report: exit 3 and the
// report of the last run stays byte for byte.
TEST(GatewayReportFaults, AFailingGatewayLeavesTheOldReport)
{
    testing::TempDir tmp;
    Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.Start(TARN_SIMULATOR, tmp.file("links"), {}, error)) << error;
    const std::string file = testing::WriteFile(tmp.file("plant.mcf"), FormatConfiguration(GatewayPlant()));
    const std::filesystem::path out = tmp.path() / "out";
    std::filesystem::create_directory(out);
    const std::string pdf = testing::WriteFile(out / "report.pdf", "the report of the last visit");
    for (const char* fault : {"silence on", "hangup"}) {
        SCOPED_TRACE(fault);
        ASSERT_EQ(sim.Command(fault), "ok");
        const ToolResult r = RunTool(tmp.path(), kTarnctl, {"report", "--port", sim.serialLink, file, "-o", pdf});
        EXPECT_EQ(r.exitCode, 3) << r.err;
        EXPECT_EQ(ReadFile(pdf), "the report of the last visit");
    }
    const auto left = std::distance(std::filesystem::directory_iterator(out), std::filesystem::directory_iterator());
    EXPECT_EQ(left, 1) << "no temporary file stays beside the report";
}

} // namespace
} // namespace tarn::e2e
