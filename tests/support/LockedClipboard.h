#pragma once

#include "AppError.h"
#include "text/Clipboard.h"

#include <QString>

namespace tallemo::testing_support {

// A clipboard that another program holds: reading and setting it fail as the real one does then.
class LockedClipboard : public Clipboard {
public:
    QString text() override { throw AppError(clipboardCannotOpenMessage(QStringLiteral("X"))); }
    void setText(const QString& /*text*/) override {
        throw AppError(clipboardCannotOpenMessage(QStringLiteral("X")));
    }
};

} // namespace tallemo::testing_support
