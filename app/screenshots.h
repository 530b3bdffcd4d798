// Screenshots of the window for the documentation: when the environment
// variable OSTREVIN_SCREENSHOTS names a folder, the running program saves
// main.png, scan.png (after a scan of its list) and about.png there and closes
// as "終了" would.
#pragma once

namespace ostrevin::app {

class Desktop;
class MainDialog;

void ScheduleScreenshots(MainDialog& window, Desktop& desktop);

}  // namespace ostrevin::app
