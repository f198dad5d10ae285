// The one text each file error cause is shown with (the EEPROM page, the FA dump and the
// log system all use it).
#include <gtest/gtest.h>

#include <utility>

#include "platform/file_errors.h"

namespace {

TEST(FileErrorTextTest, EachCauseHasOneText) {
    using vexal::platform::FileCause;
    const std::pair<FileCause, const char*> cases[] = {
        {FileCause::None, "No error occurred."},
        {FileCause::Generic, "An unspecified error occurred."},
        {FileCause::FileNotFound, "The file could not be located: /x.dmp"},
        {FileCause::BadPath, "All or part of the path is invalid: /x.dmp"},
        {FileCause::AccessDenied, "The file could not be accessed: /x.dmp"},
        {FileCause::InvalidFile, "There was an attempt to use an invalid file handle: /x.dmp"},
        {FileCause::BadSeek, "There was an error trying to set the file pointer."},
        {FileCause::HardIO, "There was a hardware error."},
        {FileCause::SharingViolation, "SHARE.EXE was not loaded, or a shared region was locked."},
        {FileCause::LockViolation, "There was an attempt to lock a region that was already locked."},
        {FileCause::DiskFull, "The disk is full."},
        // Causes without a text of their own are not passed over in silence.
        {FileCause::TooManyOpenFiles, "An unspecified error occurred."},
        {FileCause::EndOfFile, "An unspecified error occurred."},
    };
    for (const auto& [cause, text] : cases) EXPECT_EQ(vexal::platform::fileErrorText(cause, "/x.dmp"), text);
}

}  // namespace
