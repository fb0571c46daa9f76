#pragma once
// The one unit that knows the windows of the main window: it binds each opening action to
// the factory of its child window and each dialog action to its dialog. The main window
// knows none of them, so a new window adds its row here and lives in its own folder
// (reports/, admin/, archives/, logs/, options/). An action without a row is disabled,
// with a hint that says its window is not available.
// This unit and the program's entry stand above every layer.
//
//   TSplashForm::CreateMainWindowAndConnect();
//   BindChildWindows(*ClientMainForm(), *ClientMainDM());

class TClientMainDM;
class TClientMainForm;

// The windows reach the server through the connection; once it is gone, opening one
// raises Exception.
void BindChildWindows(TClientMainForm& form, TClientMainDM& connection);
