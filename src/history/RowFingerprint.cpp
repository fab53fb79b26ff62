#include "history/RowFingerprint.h"

namespace tallemo::history {

RowFingerprinter::RowFingerprinter(const QString& kindId, const std::optional<QString>& remarkCell)
    : m_prefix(kindId.toUtf8() + '\t') {
    if (remarkCell)
        m_remarkSuffix = '\t' + remarkCell->toUtf8();
}

QByteArrayView RowFingerprinter::identifyingCells(QByteArrayView row) const {
    if (!m_remarkSuffix.isEmpty() && row.endsWith(m_remarkSuffix))
        return row.first(row.size() - m_remarkSuffix.size());
    return row;
}

Fingerprint RowFingerprinter::operator()(QByteArrayView row) {
    m_hash.reset();
    m_hash.addData(m_prefix);
    m_hash.addData(identifyingCells(row));
    Fingerprint fingerprint{};
    const QByteArrayView result = m_hash.resultView();
    std::memcpy(fingerprint.data(), result.data(), fingerprint.size());
    return fingerprint;
}

} // namespace tallemo::history
