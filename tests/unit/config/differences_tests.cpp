// The differences alone of a comparison report, as the report window shows them: each
// Error item under the heading it stands under, found by the verdict of the language
// the report was made in.
#include "config/comparison.h"

#include "support/sample_installation.h"
#include "text/texts.h"

#include <gtest/gtest.h>

namespace tarn {
namespace {

TEST(Comparison, DifferencesOnlyKeepTheErrorItemsUnderTheirHeadings)
{
    const SystemConfiguration a = testing::FullInstallation();
    SystemConfiguration b = a;
    b.MASTER_MOD_ADDR = 18;
    SetFieldText(b.units[2].channels[5].tag, "TT-3.06 BURNER Y");
    b.units[3].SLAVE_TYPE = UNIT_NONE;
    SetLanguage(LANGUAGE_ITALIAN);
    std::string report = DiskComparisonHeader();
    ASSERT_EQ(CompareConfigurations(report, a, b), 3);
    EXPECT_EQ(DifferencesOnly(report), "Configurazione Corrente\t\t\tConfigurazione del File\r\n"
                                             "Master\r\n"
                                             "  Indirizzo Modbus\tErrore\t<17>\t<18>\r\n"
                                             "Slave 3\r\n"
                                             "  Ch 6 - Tag\tErrore\t<TT-3.06 BURNER Z>\t<TT-3.06 BURNER Y>\r\n"
                                             "Slave 4\r\n"
                                             "  Tipo di Slave\tErrore\t<KX913>\t<Nessuna unit\xE0>\r\n");
    std::string same = DiskComparisonHeader();
    CompareConfigurations(same, a, a);
    EXPECT_EQ(DifferencesOnly(same), DiskComparisonHeader());
    SetLanguage(LANGUAGE_ENGLISH);
}

} // namespace
} // namespace tarn
