#pragma once
// The server's interface as the client and the server both name it: the modules, every
// call's DISPID by module, the dataset providers and query names, and (through
// remote/CallbackInterfaces.h) the callback interfaces by which the server calls back.
// Call numbers and provider names are typed here and nowhere else, so that the two ends
// cannot drift apart (tests/structure keeps it so). docs/server.md says what each call
// does, the access level it needs and its arguments.
//
//   const QString format = dm->AdminRDM.Call(dispid::AdminRDM::DataFormatInUse).toString();
//   cdsReport.SetProviderName(QLatin1String(provider::ReportRDM::dspReport));
//
// Calls named here that the server does not serve yet answer 0x80020006 (unknown DISPID).

#include "remote/CallbackInterfaces.h"

namespace module {
// The main module as the socket connection attaches it.
inline constexpr char ProgramId[] = "TelvaneControl.MainRDM";
inline constexpr char ServerGuid[] = "{186284D0-20DB-4206-84EB-1E10B63F1477}";

inline constexpr char MainRDM[] = "MainRDM";
inline constexpr char ArchivesRDM[] = "ArchivesRDM";
inline constexpr char AdminRDM[] = "AdminRDM";
inline constexpr char ReceiverRDM[] = "ReceiverRDM";
inline constexpr char CommandsRDM[] = "CommandsRDM";
inline constexpr char ReportRDM[] = "ReportRDM";
inline constexpr char LogsReportRDM[] = "LogsReportRDM";

// The six child modules, in the order the client attaches them.
inline constexpr const char* Children[] = {ArchivesRDM, AdminRDM,  ReceiverRDM,
                                           CommandsRDM, ReportRDM, LogsReportRDM};
}  // namespace module

// The calls of each module by DISPID.
namespace dispid {

namespace MainRDM {
inline constexpr int Handshake = 301;       // four callback objects, version (by ref), result (by ref)
inline constexpr int CheckPassword = 307;   // administrator, password -> right
inline constexpr int ChangePassword = 308;  // administrator, current, new -> changed
inline constexpr int SetLiveData = 312;     // enabled: false holds back the live callbacks
inline constexpr int GetLanguage = 314;     // -> the server language
inline constexpr int SetLanguage = 315;     // language
}  // namespace MainRDM

namespace AdminRDM {
inline constexpr int DataFormatInUse = 301;       // -> the data format in use, as it was checked
inline constexpr int CheckDataFormat = 302;       // format -> valid; remembered for 303
inline constexpr int UseCheckedDataFormat = 303;  // the format checked last becomes the one in use
inline constexpr int BlockExtension = 304;        // PBX ID, code
inline constexpr int UnblockExtension = 305;      // PBX ID, code
inline constexpr int EmptyTariffRule = 306;       // -> an empty rule
inline constexpr int TariffRuleTemplate = 307;    // -> a commented example rule set
inline constexpr int SetFilterClause = 308;       // query name, where clause
inline constexpr int BlockPinCode = 309;          // PBX ID, code, erase list
inline constexpr int UnblockPinCode = 310;        // PBX ID, code
inline constexpr int ExtPinSaved = 311;           // after an extension or PIN code was saved
inline constexpr int CheckTariffRules = 312;      // rules -> their normal form, empty when invalid
inline constexpr int PbxInUse = 313;              // -> the ID of the exchange in use
inline constexpr int UsePbx = 314;                // PBX ID
inline constexpr int TariffRulesInUse = 315;      // -> the names of the rule sets in use
}  // namespace AdminRDM

namespace ArchivesRDM {
inline constexpr int Import = 301;               // archive ID
inline constexpr int CheckImport = 302;          // archive ID, error text (by ref)
inline constexpr int ClearImported = 303;        // archive ID
inline constexpr int CreateArchive = 304;        // comment, first moment, end moment
inline constexpr int SetArchivingOptions = 305;  // the archiving option group
inline constexpr int GetArchivingOptions = 306;  // the same values, by ref
inline constexpr int CheckExternalImport = 307;  // file name, error text (by ref), archive ID (by ref)
inline constexpr int ImportExternal = 308;       // archive ID, file name
inline constexpr int UploadExternalFile = 309;   // file name, contents
}  // namespace ArchivesRDM

namespace ReceiverRDM {
inline constexpr int ToggleReceiver = 301;      // starts a stopped receiver, stops a running one
inline constexpr int SetReceiverOptions = 302;  // the receiver option group
inline constexpr int GetReceiverOptions = 303;  // the same values, by ref
}  // namespace ReceiverRDM

namespace CommandsRDM {
inline constexpr int SetModemOptions = 301;  // the exchange control option groups: set ...
inline constexpr int GetModemOptions = 302;  // ... and get (by ref)
inline constexpr int SetDefinityOptions = 303;
inline constexpr int GetDefinityOptions = 304;
inline constexpr int SetHiPathOptions = 305;
inline constexpr int GetHiPathOptions = 306;
inline constexpr int SetLimitsOptions = 307;
inline constexpr int GetLimitsOptions = 308;
inline constexpr int ToggleQueue = 309;    // enables a disabled queue, disables an enabled one
inline constexpr int QueueContents = 310;  // texts (by ref), retry counts (by ref)
inline constexpr int RemoveCommand = 311;  // row index
inline constexpr int ClearQueue = 312;
inline constexpr int AddCommand = 313;       // command text
inline constexpr int ControlProtocol = 314;  // -> the control protocol (16-bit)
inline constexpr int SetDirectOptions = 315;
inline constexpr int GetDirectOptions = 316;
}  // namespace CommandsRDM

namespace ReportRDM {
inline constexpr int RunStatement = 301;        // SQL; ReportReady follows
inline constexpr int ArchiveCalls = 302;        // comment, values, joins, conditions
inline constexpr int ChooseCatalogTable = 303;  // provider, table
}  // namespace ReportRDM

namespace LogsReportRDM {
inline constexpr int RunStatement = 301;       // SQL; LogsReportReady follows
inline constexpr int RunEventStatement = 302;  // SQL of one event's rows, served by dspTemp
}  // namespace LogsReportRDM

}  // namespace dispid

// The dataset providers of each module.
namespace provider {

namespace ReportRDM {
inline constexpr char dspReport[] = "dspReport";  // the saved report configurations
inline constexpr char dspResult[] = "dspResult";  // the result of the last RunStatement
inline constexpr char dspEPGroup[] = "dspEPGroup";
inline constexpr char dspExtPin[] = "dspExtPin";
inline constexpr char dspSimpleModeExtPin[] = "dspSimpleModeExtPin";
}  // namespace ReportRDM

namespace AdminRDM {
inline constexpr char dspGroups[] = "dspGroups";
inline constexpr char dspPBX[] = "dspPBX";
inline constexpr char dspLimitPlan[] = "dspLimitPlan";
inline constexpr char dspExtension[] = "dspExtension";
inline constexpr char dspPinCode[] = "dspPinCode";
inline constexpr char dspCallSchema[] = "dspCallSchema";
inline constexpr char dspTariffRules[] = "dspTariffRules";
}  // namespace AdminRDM

namespace ArchivesRDM {
inline constexpr char dspArchive[] = "dspArchive";
}  // namespace ArchivesRDM

namespace LogsReportRDM {
inline constexpr char dspResult[] = "dspResult";  // the result of the last RunStatement
inline constexpr char dspTemp[] = "dspTemp";      // the rows of the last RunEventStatement
}  // namespace LogsReportRDM

}  // namespace provider

// The queries whose rows AdminRDM SetFilterClause narrows.
namespace query::AdminRDM {
inline constexpr char qryExtension[] = "qryExtension";  // the rows of dspExtension
inline constexpr char qryPinCode[] = "qryPinCode";      // the rows of dspPinCode
}  // namespace query::AdminRDM
