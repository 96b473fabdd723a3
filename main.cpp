// Program entry of the window app: runs the application's main loop with
// RipwellAppDelegate as its delegate and returns the loop's result.

#include "Classes/RipwellAppDelegate.h"

int main(int argc, char** argv)
{
    return ui::applicationMain(argc, argv, [] { return std::make_unique<RipwellAppDelegate>(); });
}
