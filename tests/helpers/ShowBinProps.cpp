// Shows the properties dialog with the bin's defaults for a few seconds, so
// that it can be looked at, and prints its sizes; with "ask" the location is
// the one asked of the user at each put.
//   ShowBinProps [SECONDS] [ask]
#include "ShowDialog.h"

#include "app/App_binpropsdialog.h"

#include <cstdio>

int main(int Argc, char** Argv) {
    ShowDialog::StartApplication();
    App_binpropsdialog::TAppBinPropsDialog Dialog;
    App_bin::TBinProps Props;
    Props.LocationType = Argc > 2 ? App_bin::bltAskUser : App_bin::bltFixed;
    Props.FixedLocation = "Bin";
    Props.EntryName.Prefix = "Tovel #";
    Props.EntryName.Max = 9999;
    Props.EntryName.FillDigits = true;
    Dialog.SetProps(Props);

    ShowDialog::Show("Properties", Argc, Argv, [&] {
        try {
            std::printf("Execute: %d\n", Dialog.Execute() ? 1 : 0);
        } catch (const Base_system::Exception& E) {
            std::printf("Execute raised: %s\n", E.Message().c_str());
        }
    });
    return 0;
}
