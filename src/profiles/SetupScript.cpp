#include "profiles/SetupScript.h"

#include "core/CommandLine.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// Printed values stand as quoted words after the literal text of their echo
// line, so they print as written whatever they hold.
const QString scriptTemplate = uR"script(#!/bin/bash
clear
export GAMCFGDIR={cfgdir}
{section-setting}
GAM={gam}

run_step() {
  local title="$1" skippable="$2"; shift 2
  while true; do
    echo
    echo "== $title =="
    "$@" && return 0
    echo
    if [ "$skippable" = "yes" ]; then
      read -r -p "Not passing yet. Press Return to check again, or type s to skip: " answer
      [ "$answer" = "s" ] && return 0
    else
      read -r -p "That step failed. Press Return to try again, or type q to quit: " answer
      [ "$answer" = "q" ] && exit 1
    fi
  done
}

echo "Setting up GAM for a new domain"
echo "  gam.cfg folder: $GAMCFGDIR"
{section-echo}echo "  Credentials:    "{target}
echo "  Admin:          "{admin}
echo
echo "You'll sign in as the admin in your browser. Answer GAM's prompts here."

# Save the domain and its Customer ID in gam.cfg, as the gam.cfg wiki recommends for each client.
save_domain_settings() {
  local info customer_id
  info=$("$GAM" info domain) || return 1
  echo "$info" | head -5
  customer_id=$(echo "$info" | awk -F': *' '/^Customer ID/ {print $2; exit}' | tr -d '[:space:]')
  if [ -z "$customer_id" ]; then
    echo "Couldn't read the Customer ID from gam info domain."
    return 1
  fi
  "$GAM" config customer_id "$customer_id" domain {domain} save
}

run_step "Step 1 of 4: Create a Google Cloud project for GAM" no "$GAM" create project {admin}
run_step "Step 2 of 4: Authorize GAM as "{admin} no "$GAM" oauth create {admin}
run_step "Step 3 of 4: Save the domain and Customer ID to gam.cfg" no save_domain_settings
echo
echo "Step 4 checks domain-wide delegation. It usually fails the first time: open the link GAM"
echo "prints, approve the scopes in the Admin console, wait a few minutes, then check again."
run_step "Step 4 of 4: Check service account access" yes "$GAM" user {checkuser} check serviceaccount

echo
echo "Setup finished. Return to Tarnwick and click Test & Add Domain."
)script"_s;

} // namespace

QString setupScript(const SetupScriptValues &values) {
    const QHash<QString, QString> replacements{
        {u"cfgdir"_s, shellQuote(values.cfgDir)},
        {u"section-setting"_s,
         values.section ? u"export GAMCFGSECTION="_s + shellQuote(*values.section) : u"unset GAMCFGSECTION"_s},
        {u"gam"_s, shellQuote(values.gam)},
        {u"section-echo"_s,
         values.section ? u"echo \"  Section:       \""_s + shellQuote(*values.section) + u'\n' : QString()},
        {u"target"_s, shellQuote(values.target)},
        {u"admin"_s, shellQuote(values.admin)},
        {u"domain"_s, shellQuote(values.domain)},
        {u"checkuser"_s, shellQuote(values.checkUser)},
    };
    // One pass over the template, so a value that looks like a placeholder stays as it is.
    static const QRegularExpression placeholder(u"\\{([a-z-]+)\\}"_s);
    QString script;
    qsizetype copied = 0;
    for (const QRegularExpressionMatch &match : placeholder.globalMatch(scriptTemplate)) {
        const auto replacement = replacements.constFind(match.captured(1));
        if (replacement == replacements.cend())
            continue;
        script += QStringView(scriptTemplate).mid(copied, match.capturedStart() - copied);
        script += *replacement;
        copied = match.capturedEnd();
    }
    script += QStringView(scriptTemplate).mid(copied);
    return script;
}
