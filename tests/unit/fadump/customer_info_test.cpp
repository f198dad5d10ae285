// Customer information records, the customer file, and the dump file names and file error
// texts.
#include <gtest/gtest.h>

#include "fadump/customer_info.h"
#include "fadump/dump_files.h"
#include "fadump_test_support.h"

using namespace vexal::fadump;
using vexal::fadump_test::Bytes;

namespace {

Bytes zeros(size_t n) { return Bytes(n, 0); }

TEST(CustomerRecordTest, NameAnnIsA44ByteRecord) {
    Bytes expected = {'-', 'N', 'a', 'm', 'e'};
    expected.resize(32, 0);
    const Bytes tail = {0, 0, 0, 2, 0, 0, 0, 4, 'A', 'n', 'n', 0};
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(customerRecord(field::Name, "Ann"), expected);
}

TEST(CustomerRecordTest, LengthIsBigEndianAndCountsTheZero) {
    const std::string value(300, 'x');
    const Bytes r = customerRecord(field::ProblemDescription, value);
    ASSERT_EQ(r.size(), 341u);
    EXPECT_EQ(std::string(r.begin(), r.begin() + 20), "-Problem_Description");
    EXPECT_EQ(Bytes(r.begin() + 20, r.begin() + 35), zeros(15));
    EXPECT_EQ(r[35], 2);
    EXPECT_EQ(Bytes(r.begin() + 36, r.begin() + 40), (Bytes{0, 0, 0x01, 0x2D}));  // 301
    EXPECT_EQ(r.back(), 0);
    // The longest name still leaves the three zero bytes before the type.
    const Bytes longest = customerRecord(15, "x");
    EXPECT_EQ(std::string(longest.begin(), longest.begin() + 25), "-Host_Adapter_Description");
    EXPECT_EQ(Bytes(longest.begin() + 25, longest.begin() + 35), zeros(10));
}

TEST(CustomerRecordTest, OnlyTheStoredFieldsWithAValueInIdentifierOrder) {
    CustomerInfo info;
    info[field::ToolName] = "Korvane Vexal";
    info[field::Company] = "Acme";
    info[field::Name] = "Ann";
    info[field::EmailAddress] = "ann@example.com";  // not among the stored fields
    info[field::Phone] = "555";
    info[9] = "driver.ko";
    Bytes expected = customerRecord(field::Name, "Ann");
    for (const auto& r : {customerRecord(field::Company, "Acme"), customerRecord(field::ToolName, "Korvane Vexal")})
        expected.insert(expected.end(), r.begin(), r.end());
    EXPECT_EQ(customerRecords(info), expected);
    EXPECT_TRUE(customerRecords(CustomerInfo{}).empty());
}

TEST(CustomerRecordTest, FieldNamesAndIdentifiers) {
    EXPECT_EQ(fieldName(0), "-Name");
    EXPECT_EQ(fieldName(24), "-Tool_Name");
    EXPECT_EQ(fieldName(17), "-Host_OS");
    EXPECT_EQ(fieldName(25), "");
    EXPECT_EQ(fieldName(-1), "");
    for (int id = 0; id < kFieldCount; ++id) EXPECT_EQ(fieldId(fieldName(id)), id);
    EXPECT_EQ(fieldId("Email_Address"), 1);
    EXPECT_FALSE(fieldId("email_address"));
    EXPECT_FALSE(fieldId(""));
}

TEST(CustomerRecordTest, HostFieldsAreFilled) {
    CustomerInfo info;
    gatherHostFields(info);
    EXPECT_EQ(info[field::HostOs], "Linux");
    EXPECT_EQ(info[field::ToolName], "Korvane Vexal");
    EXPECT_FALSE(info[field::HostOsVersion].empty());
    EXPECT_FALSE(info[field::MachineName].empty());
}

TEST(CustomerFileTest, FieldValueLines) {
    CustomerInfo info;
    std::string error;
    ASSERT_TRUE(parseCustomerText("# support case 123\r\nName = Ann Smith\r\n\nCompany=Acme = Co\n"
                                  "Problem_Description=Drive stops at 40%\nEmail_Address=ann@example.com",
                                  info, error))
        << error;
    EXPECT_EQ(info[field::Name], "Ann Smith");
    EXPECT_EQ(info[field::Company], "Acme = Co");
    EXPECT_EQ(info[field::ProblemDescription], "Drive stops at 40%");
    EXPECT_EQ(info[field::EmailAddress], "ann@example.com");
}

TEST(CustomerFileTest, RefusesLinesThatAreNotCustomerFields) {
    const std::pair<const char*, const char*> cases[] = {
        {"Name=Ann\nColour=blue\n", "Line 2 "},
        {"Name Ann\n", "Line 1 "},
        {"Host_OS=Other\n", "Line 1 "},  // the host's fields are not the customer's to give
        {"-Name=Ann\nTool_Name=x\n", "Line 2 "},
    };
    for (const auto& [text, start] : cases) {
        CustomerInfo info;
        std::string error;
        EXPECT_FALSE(parseCustomerText(text, info, error)) << text;
        EXPECT_EQ(error.rfind(start, 0), 0u) << error;
    }
    CustomerInfo info;
    std::string error;
    EXPECT_FALSE(loadCustomerFile("/nonexistent/customer.txt", info, error));
    EXPECT_NE(error.find("/nonexistent/customer.txt"), std::string::npos);
}

TEST(CustomerFileTest, OperatorIsAskedForTheCustomerFields) {
    vexal::testing::FakeOperator op;
    op.texts = {" Ann ", "Acme"};  // the rest cancelled
    CustomerInfo info;
    askCustomerFields(op, info);
    EXPECT_EQ(info[field::Name], "Ann");
    EXPECT_EQ(info[field::Company], "Acme");
    EXPECT_TRUE(info[field::DriveLocation].empty());
    EXPECT_EQ(op.calls.size(), kCustomerFields.size());
}

TEST(DumpFileNameTest, SerialNumberOrNoSerialNum) {
    const std::pair<const char*, const char*> cases[] = {
        {"VD00000001", "/opt/vexal/FADump/VD00000001.dmz"},
        {"VD01      ", "/opt/vexal/FADump/VD01.dmz"},
        {"", "/opt/vexal/FADump/NoSerialNum.dmz"},
        {"          ", "/opt/vexal/FADump/NoSerialNum.dmz"},
        {"../../x/y", "/opt/vexal/FADump/.._.._x_y.dmz"},  // device data never makes a path
    };
    for (const auto& [serial, file] : cases) EXPECT_EQ(defaultDumpFile("/opt/vexal/", serial), file) << serial;
    EXPECT_EQ(defaultDumpFile("/opt/vexal", "A1"), "/opt/vexal/FADump/A1.dmz");
    EXPECT_EQ(withExtension("/d/FADump/A1.dmz", ".dmp"), "/d/FADump/A1.dmp");
    EXPECT_EQ(withExtension("/d/FADump/A1.dmz", ".ptf"), "/d/FADump/A1.ptf");
}

}  // namespace
