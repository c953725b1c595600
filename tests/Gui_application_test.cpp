#include "gui/Gui_application.h"

#include "TestSupport.h"
#include "vek/Vek_codepage.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

using Gui_application::Application;

namespace {

testing::Environment* const ApplicationEnvironment =
    testing::AddGlobalTestEnvironment(new TestSupport::TApplicationEnvironment);

// The boxes the top-level report shows for one failure, as "caption|text".
std::vector<std::string> Reported(std::exception_ptr Failure) {
    TestSupport::TBoxRecorder Boxes;
    Application().HandleException(Failure);
    return Boxes.Boxes();
}

} // namespace

TEST(Gui_application, TopLevelReportShowsEveryFailureWithItsText) {
    using Boxes = std::vector<std::string>;
    EXPECT_EQ(Reported(std::make_exception_ptr(Base_system::Exception("Ours."))),
              Boxes{"Tovel Bin|Ours."});
    EXPECT_EQ(Reported(std::make_exception_ptr(Base_system::EAbort())), Boxes{});
    // Foreign exceptions are told too, not as an empty box.
    EXPECT_EQ(Reported(std::make_exception_ptr(std::bad_alloc())),
              Boxes{"Tovel Bin|The program ran out of memory."});
    EXPECT_EQ(Reported(std::make_exception_ptr(std::runtime_error("Something broke."))),
              Boxes{"Tovel Bin|Something broke."});
    EXPECT_EQ(Reported(std::make_exception_ptr(42)), Boxes{"Tovel Bin|"});
}

// The program remembers the last directory for itself; it starts as the
// directory the process was started in, which nothing here has changed.
TEST(Gui_application, LastDirectoryStartsAtTheStartDirectory) {
    std::wstring Start(GetCurrentDirectoryW(0, nullptr), L'\0');
    Start.resize(GetCurrentDirectoryW(static_cast<DWORD>(Start.size()), &Start[0]));
    EXPECT_EQ(Application().LastDirectory(), Vek_codepage::FromWide(Start));
    const std::string Directory = TestSupport::ExeDirectory();
    EXPECT_EQ(Application().ProgramDirectory(), Directory.substr(0, Directory.size() - 1));
    EXPECT_EQ(Application().ExeName(), Directory + "Gui_application_test.exe");
}
