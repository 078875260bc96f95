#pragma once
class QApplication;

namespace ecu {

// Names the application and gives it the classic look its forms are laid out for.
void SetUpApplication(QApplication& app);

} // namespace ecu
