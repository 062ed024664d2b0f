#pragma once

#include <QWidget>

class GmailModel;

// "Run in parallel" with its caption, bound both ways to the Gmail model's choice;
// the target section shows it for the domain and all-users targets.
class ParallelRunOption : public QWidget {
    Q_OBJECT
public:
    explicit ParallelRunOption(GmailModel *model, QWidget *parent = nullptr);
};
