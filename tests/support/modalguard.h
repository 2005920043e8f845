#pragma once

#include <QObject>
#include <QStringList>

// Ends a window test at once, with the box's text, when a message box comes up
// that the test does not expect: left alone, the box's own event loop would
// hold the test until ctest's time-out and say nothing about why.
class ModalGuard : public QObject
{
public:
    // Boxes whose text is listed pass, and so does any box while an Answerer
    // lives.
    explicit ModalGuard(const QStringList &expectedTexts = {});
    ~ModalGuard() override;

    // A scope in which the test answers every box itself.
    class Answerer
    {
    public:
        Answerer();
        ~Answerer();
        Answerer(const Answerer &) = delete;
        Answerer &operator=(const Answerer &) = delete;
    };

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QStringList expected;
};
