#pragma once

#include "converters/StatementKinds.h"
#include "text/LineModel.h"

#include <gtest/gtest.h>

namespace tallemo::testing_support {

// What a conversion whose rows go to a sink (the companion's) finds on its way: it stands in for
// recognise there, so it must say the same.
inline void expectRecognisedWhileConverting(const StatementKind& kind, const QString& text,
                                            const Recognition& recognised) {
    LineModel Lines(text);
    const RowsSink sink = [](QByteArrayView) {};
    Recognition found;
    found.entries = -1;
    ConvertContext context;
    context.rowsSink = &sink;
    context.recognition = &found;
    (void)kind.convert(Lines, context);
    EXPECT_TRUE(kind.engine->recognisesWhileConverting());
    EXPECT_EQ(found.entries, recognised.entries);
    EXPECT_EQ(found.wellFormed, recognised.wellFormed);
    EXPECT_EQ(found.against, recognised.against);
    EXPECT_DOUBLE_EQ(found.coverage, recognised.coverage);
}

} // namespace tallemo::testing_support
