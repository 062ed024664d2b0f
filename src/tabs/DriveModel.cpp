#include "tabs/DriveModel.h"

#include "core/CSV.h"
#include "core/Console.h"
#include "core/GAM.h"
#include "core/SpaceTrim.h"
#include "profiles/ProfileStore.h"
#include "tabs/DriveDelete.h"
#include "tabs/DriveFind.h"
#include "tabs/DriveQuery.h"
#include "tabs/ListValues.h"

using namespace Qt::StringLiterals;

namespace {

constexpr double ouTimeoutSeconds = 30;
constexpr qsizetype confirmationIDs = 10;

QString describe(const std::exception &error) {
    const auto *described = dynamic_cast<const Error *>(&error);
    return described ? described->description() : QString::fromUtf8(error.what());
}

} // namespace

DriveModel::DriveModel(Console *console, QObject *parent)
    : QObject(parent)
    , m_console(console) {}

template <typename T> void DriveModel::assign(T &field, const T &value) {
    if (field == value)
        return;
    field = value;
    Q_EMIT changed();
}

void DriveModel::setScope(DriveScope scope) {
    assign(m_scope, scope);
}

void DriveModel::setEmail(const QString &email) {
    assign(m_email, email);
}

void DriveModel::setOUPath(const QString &path) {
    assign(m_ouPath, path);
}

void DriveModel::setDriveKind(DriveKind kind) {
    assign(m_driveKind, kind);
}

void DriveModel::setSharedDriveID(const QString &id) {
    assign(m_sharedDriveID, id);
}

void DriveModel::setMethod(DriveFindMethod method) {
    assign(m_method, method);
}

void DriveModel::setFileIDsText(const QString &text) {
    assign(m_fileIDsText, text);
}

void DriveModel::setName(const QString &name) {
    assign(m_name, name);
}

void DriveModel::setPurge(bool purge) {
    assign(m_purge, purge);
}

void DriveModel::setOUList(std::optional<OUList> list) {
    if (!list && !m_ouList)
        return;
    m_ouList = std::move(list);
    Q_EMIT ouListChanged();
}

QString DriveModel::sampleUser() {
    return u"jordan.lee@district.example.org"_s;
}

// ---- Derived values ----

QStringList DriveModel::fileIDs() const {
    return splitListValues(m_fileIDsText);
}

QStringList DriveModel::sharedDriveArguments() const {
    const QString id = trimSpacesAndTabs(m_sharedDriveID);
    if (m_driveKind != DriveKind::shared || id.isEmpty())
        return {};
    // GAM7 reads a bare "teamdriveid" in print filelist as a field name; a shared drive is chosen with select.
    return {u"select"_s, u"shareddriveid"_s, id};
}

QString DriveModel::escapedName() const {
    return escapeDriveQueryValue(trimSpacesAndTabs(m_name));
}

QString DriveModel::driveQuery() const {
    const QString name = trimSpacesAndTabs(m_name);
    if (name.isEmpty())
        return {};
    if (m_scope == DriveScope::domain)
        return DomainNamePattern(name).query();
    return nameContainsQuery(name);
}

QString DriveModel::actionWord() const {
    return m_purge ? u"purge"_s : u"delete"_s;
}

QString DriveModel::actionPhrase() const {
    return m_purge ? u"Permanently delete"_s : u"Move to trash"_s;
}

QString DriveModel::driveLabel() const {
    if (m_driveKind == DriveKind::shared)
        return u"Shared Drive ("_s + trimSpacesAndTabs(m_sharedDriveID) + u')';
    return u"My Drive"_s;
}

DriveRequest DriveModel::request() const {
    DriveRequest request;
    request.scope = m_scope;
    request.method = m_method;
    request.email = trimSpacesAndTabs(m_email);
    request.ouPath = trimSpacesAndTabs(m_ouPath);
    request.name = trimSpacesAndTabs(m_name);
    request.fileIDs = fileIDs();
    request.sharedDriveArguments = sharedDriveArguments();
    request.query = driveQuery();
    request.actionWord = actionWord();
    return request;
}

// ---- Validation ----

bool DriveModel::validate(Action action) {
    const auto missing = [this](const QString &message) {
        m_console->showAlert(u"Missing Input"_s, message);
        return false;
    };
    if (action == Action::remove && m_scope == DriveScope::domain) {
        m_console->showAlert(u"Not Supported"_s, u"Domain-wide delete isn't offered here. Switch to Single User or "
                                                 u"Organizational Unit scope to delete files."_s);
        return false;
    }
    if (m_driveKind == DriveKind::shared && trimSpacesAndTabs(m_sharedDriveID).isEmpty())
        return missing(u"Please enter the Shared Drive ID."_s);
    const bool noName = trimSpacesAndTabs(m_name).isEmpty();
    switch (m_scope) {
    case DriveScope::user:
        if (trimSpacesAndTabs(m_email).isEmpty())
            return missing(u"Please enter a user email address."_s);
        if (m_method == DriveFindMethod::name && noName)
            return missing(u"Please enter a file name to search for."_s);
        if (m_method == DriveFindMethod::fileID && fileIDs().isEmpty())
            return missing(u"Please enter at least one File ID."_s);
        return true;
    case DriveScope::ou:
        if (trimSpacesAndTabs(m_ouPath).isEmpty())
            return missing(u"Please enter an OU path or use Browse to select one."_s);
        if (noName)
            return missing(u"Please enter a file name to search for."_s);
        return true;
    case DriveScope::domain:
        if (noName)
            return missing(u"Please enter a file name to search for."_s);
        return true;
    }
    return true;
}

// ---- Actions ----

void DriveModel::findFiles() {
    if (!validate(Action::find))
        return;
    const DriveRequest request = this->request();
    if (m_scope == DriveScope::domain && DomainNamePattern(request.name).isTooBroad()) {
        m_console->log(u"  Wildcard pattern needs at least 3 non-wildcard characters to keep a domain-wide scan "
                       u"scoped (e.g. '63783.*' not '6*.*')."_s,
                       LogKind::error);
        return;
    }
    m_console->run(u"Find Files"_s, [console = m_console, request](CancelToken cancel) {
        return runFind(console, request, std::move(cancel));
    });
}

void DriveModel::deleteFiles() {
    if (!validate(Action::remove))
        return;
    const DriveRequest request = this->request();
    AlertItem alert;
    alert.title = u"Confirm Delete"_s;
    alert.message = deleteConfirmation(request);
    alert.confirmTitle = u"Delete"_s;
    alert.isDestructive = true;
    alert.onConfirm = [console = m_console, request] {
        if (console)
            console->run(u"Delete Files"_s, [console, request](CancelToken cancel) {
                return runDelete(console, request, std::move(cancel));
            });
    };
    m_console->setAlert(alert);
}

QString DriveModel::deleteConfirmation(const DriveRequest &request) const {
    const QString drive = driveLabel();
    QString message;
    if (request.scope == DriveScope::user && request.method == DriveFindMethod::fileID) {
        const qsizetype count = request.fileIDs.size();
        message = actionPhrase() + u' ' + QString::number(count) + (count == 1 ? u" file"_s : u" files"_s) +
                  u" from "_s + request.email + u" / "_s + drive + u":\n\n"_s +
                  request.fileIDs.mid(0, confirmationIDs).join(u'\n');
        if (count > confirmationIDs)
            message += u"\n... and "_s + QString::number(count - confirmationIDs) + u" more"_s;
    } else {
        message = u"Find and "_s + actionPhrase().toLower() + u" all files matching:\n\nname contains '"_s +
                  request.name + u"'\n\n"_s;
        if (request.scope == DriveScope::ou)
            message += u"across all users in OU: "_s + request.ouPath + u"\nDrive: "_s + drive;
        else
            message += u"in "_s + request.email + u" / "_s + drive;
    }
    return message + u"\n\nThis action cannot be undone. Continue?\n\nDomain: "_s +
           ProfileStore::currentActiveProfile().displayName();
}

void DriveModel::clearFields() {
    const bool wasEmpty = m_email.isEmpty() && m_ouPath.isEmpty() && m_sharedDriveID.isEmpty() &&
                          m_fileIDsText.isEmpty() && m_name.isEmpty() && !m_purge;
    m_email.clear();
    m_ouPath.clear();
    m_sharedDriveID.clear();
    m_fileIDsText.clear();
    m_name.clear();
    m_purge = false;
    if (!wasEmpty)
        Q_EMIT changed();
}

void DriveModel::browseOUs() {
    m_console->run(u"Browse OUs"_s, [self = QPointer(this), console = m_console](CancelToken cancel) {
        return runBrowse(self, console, std::move(cancel));
    });
}

void DriveModel::chooseOU(const QString &path) {
    setOUPath(path);
}

QCoro::Task<> DriveModel::runBrowse(QPointer<DriveModel> self, QPointer<Console> console, CancelToken cancel) {
    console->log(u"[OU] Fetching organizational units from domain…"_s, LogKind::preview);
    const QStringList arguments{u"print"_s, u"orgs"_s, u"fields"_s, u"orgUnitPath,name"_s};
    CommandResult result;
    try {
        result = co_await GAM::runGAM(arguments, ouTimeoutSeconds, GAM::ProfileChoice::active(), std::move(cancel));
    } catch (const std::exception &error) {
        if (!console)
            co_return;
        console->logFailure(error, u"fetching OUs"_s);
        if (!dynamic_cast<const Cancelled *>(&error))
            console->showAlert(u"Browse OUs"_s, describe(error));
        co_return;
    }
    if (!console || !self)
        co_return;
    console->logOutput(result.stdErr, LogKind::warning, 15);
    const QStringList paths = ouPathsFromListing(parseCSV(result.stdOut));
    if (paths.isEmpty()) {
        console->showAlert(u"Browse OUs"_s, u"No organizational units returned from GAM."_s);
        co_return;
    }
    self->setOUList(OUList{QUuid::createUuid(), paths});
}
