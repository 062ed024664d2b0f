#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// A stretch of one line with the same inline formatting.
struct InlineRun {
    QString text;
    bool bold = false;
    bool italic = false;
    bool strikethrough = false;
    bool code = false;
    // The address of a link; empty when the run is not a link.
    QString link = {};

    bool operator==(const InlineRun &) const = default;
};

// The inline Markdown of one line (code spans, emphasis, ~~strikethrough~~,
// [links](address), <autolinks> and bare web addresses), with CommonMark's
// pairing rules. Block syntax (headings, lists, quotes) is left as written, and
// so is anything that does not pair up: nothing fails to parse.
QList<InlineRun> inlineMarkdown(QStringView line);
