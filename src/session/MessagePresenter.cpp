#include "session/MessagePresenter.h"

#include "session/Messages.h"

#include <stdexcept>

namespace ecu {

void ShowDefaultError(MessagePresenter& presenter, const std::exception_ptr& error) {
    QString message = QStringLiteral("Unknown error");
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const std::exception& e) {
        message = QString::fromUtf8(e.what());
    } catch (...) {
    }
    presenter.ShowMessage(QString::fromUtf8(text::ApplicationTitle), message, MessageIcon::Error);
}

} // namespace ecu
