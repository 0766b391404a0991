#pragma once

#include <QWidget>

class RichTextView;

// The help window: the help document, filling the window.
class HelpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HelpWindow(QWidget *parent = nullptr);

private:
    RichTextView *m_helpView = nullptr;
};
