#include "graphs/result_csv.h"

#include <gtest/gtest.h>

#include "monitor/profile_type.h"
#include "platform/files.h"
#include "support/fake_window.h"
#include "support/test_helpers.h"

namespace {
VoltageCurrentResult NinePdResult(std::vector<float> raw) {
    VoltageCurrentResult result;
    result.profile = {kProfilePd, 0, 9000, 1000, 1000, false};
    result.stepMa = 250;
    result.raw = result.display = raw;
    result.limits = ComputeStepLimits(result.profile, 250);
    return result;
}
}  // namespace

TEST(ResultCsv, OneLinePerMeasuredStepPassingOnlyStrictlyInside) {
    StepLimits limits = NinePdResult({}).limits;
    // On the upper limit, on the lower limit, inside, then unmeasured.
    VoltageCurrentResult result = NinePdResult({limits.maximumV[0], limits.minimumV[1], 9.0f, NO_DATA, 9.0f});
    const std::string header = "Voltage (V), Current (mA), Power (W), Compliance (PASS/FAIL) \r\n";
    EXPECT_EQ(ResultCsvText(result), header + "9.45,0,0.00,FAIL\r\n8.49,250,2.12,FAIL\r\n9.00,500,4.50,PASS\r\n");
    EXPECT_EQ(ResultCsvText(NinePdResult(std::vector<float>(5, NO_DATA))), header);
}

TEST(ResultCsv, AFailedExportSaysWhy) {
    std::string folder = TempPath("ampwright_csv_test");
    std::filesystem::create_directories(folder);
    std::string path = folder + PathSeparator() + "result.csv";
    FakeWindow window;
    window.QueueSavePath(path);
    window.QueueSavePath(folder + PathSeparator() + "missing" + PathSeparator() + "result.csv");
    VoltageCurrentResult result = NinePdResult({9.0f, NO_DATA});
    ASSERT_TRUE(ExportResultCsv(window, result));
    EXPECT_EQ(FileText(path), ResultCsvText(result));
    EXPECT_FALSE(ExportResultCsv(window, result));
    ASSERT_EQ(window.Messages().size(), 1u);
    EXPECT_EQ(window.Messages()[0].title, "Ampwright Error");
    EXPECT_NE(window.Messages()[0].text.find("missing"), std::string::npos);
    std::filesystem::remove_all(folder);
}
