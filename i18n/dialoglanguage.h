#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QComboBox;

namespace Ui {
class DialogLanguage;
}

// Lists the application catalogues of a folder by language name and stores
// the one chosen. Start-up also builds it, unshown, just to get that list.
class DialogLanguage : public QDialog
{
    Q_OBJECT

public:
    explicit DialogLanguage(const QString &translationsDir, QWidget *parent = nullptr);
    ~DialogLanguage() override;

    QString filePath() const;
    QString iso639Code() const;
    QComboBox *languageCombo() const;

    void accept() override;

private:
    std::unique_ptr<Ui::DialogLanguage> ui;
};
