#include "app/App_handler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The base leaves only the settings abstract; a handler with nothing to store
// is all these cases need.
class TPlainHandler : public App_handler::THandler {
public:
    void LoadSettings(Gui_inifile::TCustomIniFile&) override {}
    void SaveSettings(Gui_inifile::TCustomIniFile&) override {}
};

struct TStatusCall {
    Base_system::TObject* Sender;
    std::string Text;
};

} // namespace

TEST(App_handler_Events, UnassignedEventsDoNothing) {
    TPlainHandler Handler;
    EXPECT_FALSE(Handler.OnStatus);
    EXPECT_FALSE(Handler.OnChange);
    EXPECT_NO_THROW(Handler.DoStatus("Putting files..."));
    EXPECT_NO_THROW(Handler.DoChange());
}

TEST(App_handler_Events, StatusPassesEveryTextWithTheHandlerAsSender) {
    TPlainHandler Handler;
    std::vector<TStatusCall> Calls;
    Handler.OnStatus = [&Calls](Base_system::TObject* Sender, const std::string& Text) {
        Calls.push_back({Sender, Text});
    };
    Handler.DoStatus("Putting files...");
    Handler.DoStatus("");
    ASSERT_EQ(Calls.size(), 2u);
    EXPECT_EQ(Calls[0].Sender, &Handler);
    EXPECT_EQ(Calls[0].Text, "Putting files...");
    // An empty text clears the status line, so it must reach the listener.
    EXPECT_EQ(Calls[1].Sender, &Handler);
    EXPECT_EQ(Calls[1].Text, "");
}

TEST(App_handler_Events, ChangeNamesTheHandlerSoOneListenerServesSeveral) {
    TPlainHandler First;
    TPlainHandler Second;
    std::vector<Base_system::TObject*> Senders;
    const Base_system::TNotifyEvent Listener = [&Senders](Base_system::TObject* Sender) {
        Senders.push_back(Sender);
    };
    First.OnChange = Listener;
    Second.OnChange = Listener;
    Second.DoChange();
    First.DoChange();
    ASSERT_EQ(Senders.size(), 2u);
    EXPECT_EQ(Senders[0], &Second);
    EXPECT_EQ(Senders[1], &First);
}

TEST(App_handler_Events, ListenerFailuresPassToTheCaller) {
    TPlainHandler Handler;
    Handler.OnStatus = [](Base_system::TObject*, const std::string&) {
        throw Base_system::Exception("status failed");
    };
    Handler.OnChange = [](Base_system::TObject*) { throw Base_system::Exception("change failed"); };
    try {
        Handler.DoStatus("x");
        ADD_FAILURE() << "DoStatus swallowed the failure";
    } catch (const Base_system::Exception& E) {
        EXPECT_STREQ(E.what(), "status failed");
    }
    try {
        Handler.DoChange();
        ADD_FAILURE() << "DoChange swallowed the failure";
    } catch (const Base_system::Exception& E) {
        EXPECT_STREQ(E.what(), "change failed");
    }
}
