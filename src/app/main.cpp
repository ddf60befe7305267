// Ferrox: keeps the processors busy and shows for how long.
#include "app/ferrox_app.h"
#include "app/resources.h"

namespace {
// The one application object exists before the framework starts, as the framework requires.
CFerroxApp theApp;
}  // namespace

int main(int argc, char** argv) { return AfxWinMain(argc, argv, FerroxResources()); }
