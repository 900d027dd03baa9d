#pragma once
#include <QString>
#include <QUiLoader>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>

// Builds a control tree from a skin file. Element classes the loader does
// not know are first offered to the owner's custom-control callback.
class CSkinLoader final : public QUiLoader {
public:
    using CCustomControl = std::function<QWidget*(const QString& strClass, QWidget* pParent)>;

    explicit CSkinLoader(CCustomControl ACallback = {});
    // Null when the file is missing or is no skin; the reason is traced and
    // kept (GetError).
    std::unique_ptr<QWidget> Create(const std::filesystem::path& SkinFile, QWidget* pParent = nullptr);
    // What was wrong with the last file Create refused, for the user.
    const QString& GetError() const { return m_strError; }

protected:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

private:
    CCustomControl m_Callback;
    QString m_strError;
};
