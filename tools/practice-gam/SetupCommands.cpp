#include "SetupCommands.h"

#include "Context.h"
#include "Seed.h"
#include "Store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QSysInfo>

using namespace Qt::StringLiterals;

namespace {

const QString practiceVersion = u"7.48.00"_s;

const QStringList serviceAccountScopes = {
    u"https://mail.google.com/"_s,
    u"https://www.googleapis.com/auth/apps.alerts"_s,
    u"https://www.googleapis.com/auth/calendar"_s,
    u"https://www.googleapis.com/auth/classroom.courses"_s,
    u"https://www.googleapis.com/auth/drive"_s,
    u"https://www.googleapis.com/auth/gmail.settings.basic"_s,
    u"https://www.googleapis.com/auth/gmail.settings.sharing"_s,
    u"https://www.googleapis.com/auth/admin.directory.user"_s,
    u"https://www.googleapis.com/auth/admin.reports.audit.readonly"_s,
};

QString padded(const QString &text) {
    return text.leftJustified(73, u' ') + u' ';
}

QString domainOf(const QString &email) {
    return email.section(u'@', 1).toLower();
}

bool ensureCfg(Output &out, const GamConfig &config) {
    if (QFileInfo::exists(config.cfgFile))
        return true;
    if (!QDir().mkpath(config.cfgDir)) {
        out.err(u"ERROR: Config File: "_s + config.cfgFile + u", Create Failed"_s);
        out.setRC(13);
        return false;
    }
    CfgFile cfg;
    cfg.set(u"DEFAULT"_s, u"customer_id"_s, u"my_customer"_s);
    QString error;
    if (!cfg.save(config.cfgFile, &error)) {
        out.err(u"ERROR: Config File: "_s + config.cfgFile + u", Create Failed: "_s + error);
        out.setRC(13);
        return false;
    }
    return true;
}

// The admin address for a setup step: the argument, else the one remembered at create project.
QString setupAdmin(Args &args, const GamConfig &config) {
    if (!args.atEnd())
        return args.next(QString()).trimmed().toLower();
    QFile file(config.clientSecretsPath());
    if (file.open(QIODevice::ReadOnly))
        return QJsonDocument::fromJson(file.readAll())
            .object()
            .value(u"installed"_s)
            .toObject()
            .value(u"admin"_s)
            .toString();
    return QString();
}

bool refuseRealDomain(Output &out, const QString &admin) {
    if (!admin.isEmpty() && isDocumentationDomain(domainOf(admin)))
        return false;
    out.err(u"ERROR: Practice domain: "_s + (admin.isEmpty() ? u"(no admin address)"_s : admin) +
            u", Invalid: this simulated gam only sets up documentation domains (example.com, example.net, "
            u"example.org and their subdomains), e.g. admin@district-b.example.org"_s);
    out.setRC(2);
    return true;
}

} // namespace

void versionCommand(Output &out, const GamConfig &config, Args &args, bool help) {
    if (!help && args.take(u"simple"_s)) {
        out.append(Output::Out, practiceVersion.toUtf8());
        return;
    }
    while (!args.atEnd())
        args.next(QString()); // checkrc, extended, timeoffset: nothing more to say
    out.out(u"GAM "_s + practiceVersion + u" - SIMULATION: Tarnwick practice domain, not GAM-team's gam - practice"_s);
    out.out(
        u"Practice domain: every answer is simulated data at documentation domains; nothing here talks to Google."_s);
    out.out(u"Qt "_s + QLatin1StringView(qVersion()) + u' ' + QSysInfo::buildCpuArchitecture());
    out.out(QSysInfo::prettyProductName() + u' ' + QSysInfo::currentCpuArchitecture());
    out.out(u"Path: "_s + QCoreApplication::applicationDirPath());
    out.out(u"Config File: "_s + config.cfgFile + u", Section: "_s + config.sectionLabel() + u", customer_id: "_s +
            config.values.value(u"customer_id"_s, u"my_customer"_s) + u", domain: "_s +
            config.values.value(u"domain"_s));
    out.out(u"Time: "_s + QDateTime::currentDateTime()
                              .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
                              .toString(Qt::ISODate));
    if (help) {
        out.out(u"Help: Syntax in file "_s + QCoreApplication::applicationDirPath() + u"/GamCommands.txt"_s);
        out.out(u"Help: Documentation is at https://github.com/GAM-team/GAM/wiki"_s);
    }
}

void printUsageError(Output &out, const QStringList &argv, int index, const QString &message) {
    auto quoted = [](const QStringList &list) {
        QStringList words;
        for (const QString &arg : list)
            words.append(arg.isEmpty() || arg.contains(u' ') ? u'"' + arg + u'"' : arg);
        return words.join(u' ');
    };
    const QString before = quoted(argv.mid(0, index));
    const QString bad = index < argv.size() ? quoted({argv.at(index)}) : QString();
    const QString after = quoted(argv.mid(index + 1));
    QString line = u"Command: gam "_s + before + (before.isEmpty() ? QString() : u" "_s) + u">>>"_s + bad + u"<<<"_s;
    if (!after.isEmpty())
        line += u' ' + after;
    out.err(line);
    out.err(QString());
    out.err(u"ERROR: "_s + message);
    out.err(u"Help: Syntax in file "_s + QCoreApplication::applicationDirPath() + u"/GamCommands.txt"_s);
    out.err(u"Help: Documentation is at https://github.com/GAM-team/GAM/wiki"_s);
    out.setRC(2);
}

void saveConfig(Output &out, const GamConfig &config, const QList<QPair<QString, QString>> &vars) {
    QDir().mkpath(config.cfgDir);
    CfgFile cfg;
    cfg.load(config.cfgFile);
    for (const auto &[name, value] : vars)
        cfg.set(name == u"section"_s ? u"DEFAULT"_s : config.sectionLabel(), name, value);
    QString error;
    if (!cfg.save(config.cfgFile, &error)) {
        out.err(u"ERROR: Config File: "_s + config.cfgFile + u", Save Failed: "_s + error);
        out.setRC(13);
        return;
    }
    out.out(u"Config File: "_s + config.cfgFile + u", Saved"_s);
}

void verifyConfig(Output &out, const GamConfig &config) {
    out.out(u"Section: "_s + config.sectionLabel());
    QStringList keys = config.values.keys();
    keys.sort();
    for (const QString &key : std::as_const(keys))
        out.out(u"  "_s + key + u" = "_s + config.values.value(key));
}

void createProject(Output &out, const GamConfig &config, Args &args) {
    const QString admin = setupAdmin(args, config);
    for (const QString &path : {config.serviceAccountPath(), config.clientSecretsPath()}) {
        if (QFileInfo::exists(path)) {
            out.err(u"ERROR: "_s + path +
                    u" already exists. Please delete or rename it before attempting to Create project."_s);
            out.setRC(17);
            return;
        }
    }
    if (refuseRealDomain(out, admin) || !ensureCfg(out, config))
        return;
    QString error;
    if (!writePracticeCredentials(config.configDir, domainOf(admin), admin, true, false, &error)) {
        out.err(u"ERROR: "_s + error);
        out.setRC(13);
        return;
    }
    // Remember the admin for "oauth create" without an address.
    QFile secrets(config.clientSecretsPath());
    if (secrets.open(QIODevice::ReadOnly)) {
        QJsonObject root = QJsonDocument::fromJson(secrets.readAll()).object();
        secrets.close();
        QJsonObject installed = root.value(u"installed"_s).toObject();
        installed[u"admin"_s] = admin;
        root[u"installed"_s] = installed;
        if (secrets.open(QIODevice::WriteOnly | QIODevice::Truncate))
            secrets.write(QJsonDocument(root).toJson());
    }
    const QString project = u"practice-"_s + domainOf(admin).replace(u'.', u'-');
    out.out(u"Practice domain: no browser sign-in; the project is simulated."_s);
    out.out(u"Creating project \"GAM Project\"..."_s);
    out.out(u"Project: "_s + project + u", Enable "_s + QString::number(serviceAccountScopes.size()) + u" APIs"_s);
    for (qsizetype i = 0; i < serviceAccountScopes.size(); ++i)
        out.out(u"  API: "_s + serviceAccountScopes.at(i).section(u'/', -1) + u".googleapis.com, Enabled"_s +
                counter(i + 1, serviceAccountScopes.size()));
    out.out(u"Service Account: gam-project@"_s + project + u".example.com, Created"_s);
    out.out(u"Client Secrets File: "_s + config.clientSecretsPath() + u", Created"_s);
    out.out(u"Service Account OAuth2 File: "_s + config.serviceAccountPath() + u", Created"_s);
    out.out(u"That's it! Your GAM Project is created and ready to use."_s);
}

void oauthCreate(Output &out, const GamConfig &config, Args &args) {
    if (!QFileInfo::exists(config.clientSecretsPath())) {
        out.err(QString());
        out.err(u"ERROR: Client Secrets File: "_s + config.clientSecretsPath() +
                u", Does not exist or has invalid format, [Errno 2] No such file or directory"_s);
        out.err(QString());
        out.err(u"Please run"_s);
        out.err(QString());
        out.err(u"gam create project"_s);
        out.err(QString());
        out.setRC(16);
        return;
    }
    const QString admin = setupAdmin(args, config);
    if (refuseRealDomain(out, admin) || !ensureCfg(out, config))
        return;
    QString error;
    if (!writePracticeCredentials(config.configDir, domainOf(admin), admin, false, true, &error)) {
        out.err(u"ERROR: "_s + error);
        out.setRC(13);
        return;
    }
    if (!QFileInfo::exists(config.statePath())) {
        QJsonObject district = seedDistrict(domainOf(admin), 250, qHash(domainOf(admin)));
        district[u"serviceAccountAuthorized"_s] = false; // the first delegation check fails, as it does for real
        QJsonArray users = district.value(u"users"_s).toArray();
        QJsonObject first = users.at(0).toObject();
        first[u"primaryEmail"_s] = admin;
        users.replace(0, first);
        district[u"users"_s] = users;
        district[u"admin"_s] = admin;
        Store store;
        if (!store.create(config.statePath(), district, &error)) {
            out.err(u"ERROR: Practice domain: "_s + config.statePath() + u", Create Failed: "_s + error);
            out.setRC(13);
            return;
        }
        out.out(u"Practice domain: "_s + domainOf(admin) + u" seeded with 250 users in "_s + config.configDir);
    }
    out.out(u"Practice domain: scopes authorized without a browser (simulated)."_s);
    out.out(u"Client OAuth2 File: "_s + config.oauth2Path() + u", Created"_s);
}

UserCommand setupUserCommand(Context &ctx, Args &args, const QString &verb, const QString &object) {
    if (verb != u"check"_s || object != u"serviceaccount"_s)
        return {};
    while (!args.atEnd())
        args.next(QString()); // scope options: everything is checked
    return {[&ctx](const QString &user, qsizetype, qsizetype) {
                Output &out = ctx.out;
                const bool authorized = ctx.store.root().value(u"serviceAccountAuthorized"_s).toBool();
                out.out(u"System time status"_s);
                out.out(padded(u"  Your system time differs from admin.googleapis.com by less than 1 second"_s) +
                        u"PASS"_s);
                out.out(u"Service Account Private Key Authentication"_s);
                out.out(padded(u"  Authentication"_s) + u"PASS"_s);
                out.out(u"Service Account Private Key age; Google recommends rotating keys on a routine basis"_s);
                out.out(padded(u"  Service Account Private Key age: 1 day"_s) + u"PASS"_s);
                const QString n = QString::number(serviceAccountScopes.size());
                out.out(u"Domain-wide Delegation authentication:, User: "_s + user + u", Scopes: "_s + n);
                for (qsizetype i = 0; i < serviceAccountScopes.size(); ++i)
                    out.out(padded(u"  "_s + serviceAccountScopes.at(i)) + (authorized ? u"PASS"_s : u"FAIL"_s) +
                            u" ("_s + QString::number(i + 1) + u'/' + n + u')');
                if (authorized) {
                    out.out(u"All scopes PASSED!"_s);
                    out.out(QString());
                    out.out(u"Service Account Client name: 100000000000000000001 is fully authorized."_s);
                    return;
                }
                out.out(u"Some scopes FAILED!"_s);
                out.out(u"To authorize them, please go to:"_s);
                out.out(QString());
                out.out(u"https://gam-shortn.appspot.com/practice-domain-authorize"_s);
                out.out(QString());
                out.out(u"Practice domain: the scopes are now approved for you; run the check again."_s);
                out.setRC(10);
                ctx.store.root()[u"serviceAccountAuthorized"_s] = true;
                ctx.store.markDirty();
            },
            false};
}

void practiceCommand(Output &out, Args &args) {
    args.nextChoice({u"seed"_s});
    const QString dir = QDir::cleanPath(QDir().absoluteFilePath(expandHome(args.next(u"<Folder>"_s))));
    QString domain, section;
    int users = 250;
    quint32 seed = 0;
    while (!args.atEnd()) {
        const QString option = args.peek();
        if (option == u"--domain"_s) {
            args.next(QString());
            domain = args.next(u"<DomainName>"_s).trimmed().toLower();
        } else if (option == u"--users"_s) {
            args.next(QString());
            users = args.nextInt(u"<Number>"_s);
        } else if (option == u"--section"_s) {
            args.next(QString());
            section = args.next(u"<Section>"_s).trimmed();
        } else if (option == u"--seed"_s) {
            args.next(QString());
            seed = quint32(args.nextInt(u"<Number>"_s));
        } else {
            args.unknown();
        }
    }
    if (domain.isEmpty())
        args.missing(u"--domain <DomainName>"_s);
    if (!isDocumentationDomain(domain)) {
        out.err(u"ERROR: Practice domain: "_s + domain +
                u", Invalid: use a documentation domain (example.com, example.net, example.org or a subdomain)"_s);
        out.setRC(2);
        return;
    }
    const QString configDir = section.isEmpty() ? dir : dir + u'/' + section;
    QString error;
    const QJsonObject district = seedDistrict(domain, users, seed ? seed : qHash(domain));
    const QString admin = district.value(u"admin"_s).toString();
    if (!writePracticeCredentials(configDir, domain, admin, true, true, &error)) {
        out.err(u"ERROR: "_s + error);
        out.setRC(13);
        return;
    }
    CfgFile cfg;
    cfg.load(dir + u"/gam.cfg"_s);
    const QString target = section.isEmpty() ? u"DEFAULT"_s : section;
    if (!section.isEmpty())
        cfg.set(target, u"config_dir"_s, section);
    cfg.set(target, u"domain"_s, domain);
    cfg.set(target, u"customer_id"_s, district.value(u"customerId"_s).toString());
    cfg.set(target, u"admin_email"_s, admin);
    if (!cfg.save(dir + u"/gam.cfg"_s, &error)) {
        out.err(u"ERROR: Config File: "_s + dir + u"/gam.cfg, Save Failed: "_s + error);
        out.setRC(13);
        return;
    }
    Store store;
    if (!store.create(configDir + u"/practice-domain.json"_s, district, &error)) {
        out.err(u"ERROR: Practice domain: "_s + configDir + u", Create Failed: "_s + error);
        out.setRC(13);
        return;
    }
    out.out(u"Practice domain "_s + domain + u" seeded: "_s +
            QString::number(district.value(u"users"_s).toArray().size()) + u" users, "_s +
            QString::number(district.value(u"courses"_s).toArray().size()) + u" courses, "_s +
            QString::number(district.value(u"files"_s).toArray().size()) + u" Drive files"_s);
    out.out(u"Config File: "_s + dir + u"/gam.cfg, Section: "_s + target + u", config_dir: "_s + configDir);
    out.out(u"Admin: "_s + admin + u", compromised account: "_s + district.value(u"compromised"_s).toString());
}

void infoDomain(Context &ctx) {
    const QJsonObject &root = ctx.store.root();
    const QJsonArray &users = ctx.store.array(u"users"_s);
    Output &out = ctx.out;
    out.out(u"Customer ID: "_s + root.value(u"customerId"_s).toString());
    out.out(u"Primary Domain: "_s + ctx.store.domain());
    out.out(u"Primary Domain Verified: True"_s);
    out.out(u"Customer Creation Time: "_s + root.value(u"seededAt"_s).toString().left(10) + u"T15:47:55Z"_s);
    out.out(u"Default Language: en"_s);
    out.out(u"Address"_s);
    out.out(u"  contactName: Practice District Admin"_s);
    out.out(u"  organizationName: Practice School District (simulated)"_s);
    out.out(u"  addressLine1: 100 Example Street"_s);
    out.out(u"  locality: Springfield"_s);
    out.out(u"  region: CA"_s);
    out.out(u"  postalCode: 90000"_s);
    out.out(u"  countryCode: US"_s);
    out.out(u"Phone: +1 555 0100"_s);
    out.out(u"Admin Secondary Email: district-admin@example.net"_s);
    out.out(u"User counts as of "_s + QDate::currentDate().addDays(-2).toString(Qt::ISODate) + u':');
    const QLocale english(QLocale::English);
    out.out(u"  Total Users: "_s + english.toString(users.size()));
    out.out(u"  Google Workspace for Education Fundamentals Licenses: "_s + english.toString(users.size() + 500));
    out.out(u"  Google Workspace for Education Fundamentals Users: "_s + english.toString(users.size()));
}
