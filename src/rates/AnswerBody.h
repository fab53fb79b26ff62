#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace tallemo {

// RESTResponse1's text: the body decoded by the charset its Content-Type declares, or as UTF-8
// when it declares none; nothing when the declared charset is unknown.
std::optional<QString> decodeAnswerBody(const QByteArray& contentType, const QByteArray& body);

} // namespace tallemo
