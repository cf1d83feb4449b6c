#include "app/configflows.h"

#include <unistd.h>

#include <algorithm>

#include "app/layoutflows.h"
#include "app/treeexchange.h"
#include "app/treerules.h"
#include "configuration/configfiles.h"

namespace {

constexpr const char *kNew = "New";
constexpr const char *kSaveQuestion = "Do you want to save the changed configuration?";
constexpr const char *kNamePrompt = "Save the configuration under the name:";

int RingIndexOf(const ConfigurationList &list, const std::string &name)
{
    const auto found = std::find(list.ring.begin(), list.ring.end(), name);
    return found == list.ring.end() ? -1 : static_cast<int>(found - list.ring.begin());
}

// The configuration "New": one ring entry without a stored record.
void StartNew(Session &session)
{
    ConfigurationList &list = session.configurations;
    list.nameText = kNew;
    list.ring.assign(1, kNew);
    list.ringIndex = 0;
    Configuration_SetSlotText(session.record, kSlotName, kNew);
    Session_Notify(session, SessionChange::ConfigurationList);
}

// Saves the configuration in hand; one whose name cannot be saved is given a name first.
int SaveInHand(Session &session, const AskName &askName)
{
    if (Configuration_CheckName(session.record.name)) return Gui_SaveConfiguration(session);
    const std::optional<std::string> name = askName(kNamePrompt);
    return name ? Gui_SaveConfigurationAs(session, *name) : 0;
}

}  // namespace

std::optional<ConfigurationRecord> Configuration_LoadFile(const std::string &path, StatusLog &log)
{
    ConfigurationRecord record;
    FileOutcome outcome = Configuration_ReadFramedFile(path, Configuration_Bytes(record), kRecordBytes);
    if (outcome == FileOutcome::Done && !Configuration_SlotsAreTerminated(record)) outcome = FileOutcome::Incompatible;
    const size_t slash = path.rfind('/');
    const std::string fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    const bool loaded = outcome == FileOutcome::Done;
    Gui_UpdateStatus(log, "Load '" + fileName + "': " + Configuration_OutcomeText(outcome),
                     loaded ? StatusIcon::Ok : StatusIcon::Error);
    if (!loaded) return std::nullopt;
    return record;
}

void Configuration_Init(Session &session)
{
    ConfigurationList &list = session.configurations;
    list.records.clear();
    list.ring.clear();
    for (std::string name : Configuration_ListFiles(list.directory)) {
        if (!Configuration_RemoveExtension(name)) continue;  // the listing gives "*.pnx" names only
        if (std::optional<ConfigurationRecord> record = Configuration_Load(list.directory, name, session.statusLog)) {
            list.records.push_back(*record);
            list.ring.push_back(name);
        }
    }
    Session_Notify(session, SessionChange::StatusLog);
    Session_Notify(session, SessionChange::ConfigurationList);
    if (!list.records.empty()) return;
    StartNew(session);
    Configuration_TreeIO(session, session.record, 0, -1);
    Gui_CheckConfiguration(session, -1);
    Gui_SetUnsavedStatus(session, 1);
}

void Configuration_SelectRecord(Session &session, const ConfigurationRecord &record)
{
    session.record = record;
    Configuration_TreeIO(session, session.record, 1, -1);
    Gui_CheckConfiguration(session, -1);
}

void Configuration_SetByName(Session &session, const std::string &name)
{
    ConfigurationList &list = session.configurations;
    if (list.records.empty()) return;
    const int index = std::max(0, RingIndexOf(list, name));
    list.ringIndex = index;
    Configuration_SelectRecord(session, list.records[index]);
    Session_Notify(session, SessionChange::ConfigurationList);
}

int Gui_SaveConfiguration(Session &session)
{
    if (Session_Locked(session)) return 0;
    ConfigurationList &list = session.configurations;
    if (const std::string fault = Configuration_NameFault(session.record.name); !fault.empty()) {
        Gui_UpdateStatus(session, "Save configuration: Invalid name: " + fault, StatusIcon::Error);
        return 0;
    }
    const int saved = Configuration_Save(list.directory, session.record, session.statusLog);
    Session_Notify(session, SessionChange::StatusLog);
    if (!saved) return 0;

    if (list.records.empty()) list.ring.clear();  // the entry "New" has no record
    int index = RingIndexOf(list, session.record.name);
    if (index < 0) {
        index = static_cast<int>(list.ring.size());
        list.ring.emplace_back(session.record.name);
        list.records.push_back(session.record);
    } else {
        list.records[index] = session.record;
    }
    // The ring shows the configuration in hand, so that Delete acts on what it shows.
    list.ringIndex = index;
    Gui_SetUnsavedStatus(session, 0);
    return 1;
}

int Gui_SaveConfigurationAs(Session &session, const std::string &name)
{
    if (!onConfigurationString(session, name)) return 0;
    return Gui_SaveConfiguration(session);
}

int Gui_SavedUnsavedChanges(Session &session, const Confirm &confirm, const AskName &askName)
{
    // "New" counts as unsaved from the start: only edits make it worth a question.
    if (session.configurations.unsaved && !App_IsUneditedNew(session.record)) {
        switch (confirm(kSaveQuestion, true)) {
        case Answer::Yes: return SaveInHand(session, askName);
        case Answer::Cancel: return 0;
        case Answer::No: break;
        }
    }
    Gui_SetUnsavedStatus(session, 0);
    return 1;
}

int onConfigurationRing(Session &session, int index, const Confirm &confirm, const AskName &askName)
{
    if (Session_Locked(session)) return 0;
    ConfigurationList &list = session.configurations;
    if (index < 0 || index >= static_cast<int>(list.ring.size())) return 0;
    const std::string selected = list.ring[index];
    if (selected == kNew || selected == session.record.name) return 0;
    if (!Gui_SavedUnsavedChanges(session, confirm, askName)) {
        // The ring still shows the configuration in hand.
        Session_Notify(session, SessionChange::ConfigurationList);
        return 0;
    }
    Configuration_SetByName(session, selected);
    return 1;
}

int onConfigurationString(Session &session, const std::string &text)
{
    if (Session_Locked(session)) return 0;
    Gui_SetUnsavedStatus(session, 1);
    session.configurations.nameText = text;
    Configuration_TreeIO(session, session.record, 0, -2);
    Session_Notify(session, SessionChange::ConfigurationList);
    return 1;
}

int onConfigurationDelete(Session &session, const Confirm &confirm)
{
    if (Session_Locked(session)) return 0;
    ConfigurationList &list = session.configurations;
    const int index = RingIndexOf(list, list.nameText);
    if (index < 0 || index >= static_cast<int>(list.records.size())) return 0;
    if (confirm("Do you really want to delete the current configuration?", false) != Answer::Yes) return 0;

    const std::string name = list.ring[index];
    list.ring.erase(list.ring.begin() + index);
    list.records.erase(list.records.begin() + index);
    const std::string path = list.directory + "/" + name + std::string(kConfigurationExtension);
    if (::unlink(path.c_str()) == 0) Gui_UpdateStatus(session, "Delete configuration: Done", StatusIcon::Ok);

    if (list.records.empty()) {
        StartNew(session);
        Gui_SetUnsavedStatus(session, 1);
    } else {
        Configuration_SetByName(session, list.ring.front());
    }
    return 1;
}
