#pragma once

#include "tabs/GmailMode.h"

#include <QWidget>

class Console;
class GmailModel;
class LinesEditor;

// The form of the Message-ID and sender modes.
class GmailListPage : public QWidget {
    Q_OBJECT
public:
    GmailListPage(GmailModel *model, Console *console, GmailMode mode, QWidget *parent = nullptr);

private:
    LinesEditor *m_editor;
};
