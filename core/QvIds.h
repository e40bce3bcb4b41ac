#pragma once

// Every command, pane and answer identifier of the program, in one place. A command's
// identifier is also its default icon number in the icon store, and its handler is found by
// grepping for its name here and at its use.
//
// Command identifiers are unique across the main window's command bars; each subsystem keeps to
// its own range. Browser windows and panes have command bars of their own, so their numbers may
// repeat a main-window number with the same meaning (197, new page).

namespace Cmd {

// Main window: menus "打开", "窗口视图", "帮助" and the menu bar itself.
constexpr int Exit = 102;           // "退出": start the updater, which waits for the program to end
constexpr int DefaultLayout = 103;  // "恢复默认版面"
constexpr int CheckUpdate = 104;    // "检查更新"
constexpr int About = 105;          // "关于本软件"
constexpr int SuperSearch = 106;    // "超级搜索": toggle the advanced search pane
constexpr int Cascade = 121;        // "层叠"
constexpr int TileHorizontal = 122; // "横向平铺"
constexpr int TileVertical = 123;   // "纵向屏幕"
constexpr int MSNInquiry = 150;     // "MSN留言"
constexpr int QQInquiry = 151;
constexpr int Feedback = 152;      // "我要提意见！"
constexpr int FocusLabel = 160;    // "FOCUSINWEBBROWSER", debug toolbar
constexpr int NewPage = 197;       // "新网页" / "新建"
constexpr int SpecialFolder = 850; // "我的文档" and its drop-down
constexpr int WindowList = 35000;  // "窗体列表"

// Browser window: tool bar "浏览器基本功能" and its menus.
constexpr int Back = 190;
constexpr int Forward = 191;
constexpr int Stop = 192;
constexpr int Refresh = 193;
constexpr int Home = 194;
constexpr int Search = 195;    // shows the main window's search pane
constexpr int Favorites = 196; // "收藏夹" menu
constexpr int Address = 202;   // the address box
constexpr int Print = 204;
constexpr int Tools = 205;       // "工具" menu
constexpr int AddFavorite = 206; // "添加到收藏..."
constexpr int PrintPreview = 207;
constexpr int SaveAs = 208;
constexpr int PageSetup = 210;
constexpr int InternetOptions = 216;
constexpr int HistoryEntry = 217;      // an entry of the back/forward menus
constexpr int Assistant = 225;         // "助手" menu: translation and site search
constexpr int OrganizeFavorites = 272; // "整理收藏夹..."
constexpr int FavoriteEntry = 800;     // a favorite in the favorites menu; also a library link of a web pane
constexpr int FavoriteFolder = 801;    // a folder of the favorites menu

// Sticky notes.
constexpr int NoteAdd = 332;       // split button "便签"
constexpr int NoteHideAll = 333;   // "隐藏所有便签"
constexpr int NoteShowAll = 334;   // "显示所有便签"
constexpr int NoteDelete = 336;    // a note window's "删除"
constexpr int NoteHide = 337;      // entry of an open note
constexpr int NoteShow = 338;      // entry of a hidden note
constexpr int NoteDeleteAll = 339; // "删除所有便签"

// Recent documents.
constexpr int RecentMenu = 107; // split button "最近的文档"
constexpr int OpenRecentFile = 108;
constexpr int RecentToday = 501; // "昨天/今天(n)"
constexpr int RecentWeek = 502;  // "一周之内(n)"
constexpr int RecentAll = 503;   // "全部(n)"
constexpr int RecentWord = 506;
constexpr int RecentSheet = 507;
constexpr int RecentSlides = 508;
constexpr int RecentPdf = 509;
constexpr int RecentImages = 510;
constexpr int RecentFolders = 511;
constexpr int RecentDocument = 512;   // a document entry
constexpr int RecentOpenFolder = 513; // context menu "打开文件夹"
constexpr int RecentRemove = 514;     // context menu "删除"
constexpr int RecentDeleteMenu = 515; // "删除" sub-menu
constexpr int RecentDeleteToday = 516;
constexpr int RecentDeleteYesterday = 517;
constexpr int RecentDeletePeriod = 518;
constexpr int RecentDeleteImages = 520;
constexpr int RecentDeleteTypeMenu = 521; // "特定类型"
constexpr int RecentDeleteType = 522;
constexpr int RecentDeleteFiles = 523;
constexpr int RecentDeleteFolders = 524;
constexpr int RecentDeleteAll = 525;

// Local software and custom applications.
constexpr int OpenLink = 580;    // a web link entry: the link id is the parameter
constexpr int AppButton = 601;   // an application button of the layout
constexpr int MySoftware = 602;  // "我的软件"
constexpr int AddSoftware = 603; // "添加软件"
constexpr int RescanSoftware = 700;
constexpr int OpenProgram = 701; // a program entry: the file is the parameter

// Links: web panes, community panel.
constexpr int CloseSNSPane = 459; // "关闭" of a community site's pane
constexpr int MusicLibrary = 431; // "选择音乐库", music pane
constexpr int NovelLibrary = 441; // "选择小说库", novel pane
constexpr int VideoLibrary = 451; // the seven group menus of the video pane ("视频门户" ... "直播")

} // namespace Cmd

// Docking panes of the main window.
namespace PaneId {
constexpr int Mail = 307;           // "邮箱"
constexpr int Navigation = 400;     // "导航"
constexpr int Entertainment = 410;  // "娱乐"
constexpr int Search = 420;         // "搜索"
constexpr int AdvancedSearch = 421; // "超级搜索", created on demand
constexpr int Music = 430;          // "听歌"
constexpr int Novel = 440;          // "小说"
constexpr int Movie = 450;          // "电影"
constexpr int Stock = 456;          // "股票"
constexpr int Community = 460;      // "社区"
// Panes of the community panel's own pane manager.
constexpr int SNSList = 461;       // the list of sites
constexpr int FirstSNSSite = 4601; // the pane of a checked site, numbered on from here
} // namespace PaneId

// Status-bar panes. The main window's and a browser window's bars are separate, so 100 is the
// hidden first pane of both.
namespace StatusPaneId {
constexpr int Main = 100;
constexpr int Welcome = 111;    // "欢迎使用Quorvel", the global status pane
constexpr int DevelopLog = 114; // "日志", developer mode only
constexpr int UpdateProgress = 115;
constexpr int Version = 116; // "当前版本:V…"
constexpr int UpdateStatus = 117;
constexpr int BrowserStatusText = 260;
constexpr int BrowserProgress = 261;
} // namespace StatusPaneId

// The numbers a confirmation returns for the pressed button.
namespace Answer {
constexpr int Yes = 106;
constexpr int No = 107;
constexpr int Cancel = 102;
} // namespace Answer

// Search panes and the browser's assistant panels: icon numbers of their buttons in the icon
// store.
namespace SearchIcon {
constexpr int Google = 1001;      // "Google" of the quick search pane
constexpr int Baidu = 1002;       // "百度"
constexpr int Taobao = 1037;      // "淘宝"
constexpr int SiteSearch = 195;   // the site-search panel's picture, the browser's "搜索" image
constexpr int SuperSearch = 1080; // pane 421 "超级搜索"
} // namespace SearchIcon
