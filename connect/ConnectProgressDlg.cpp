#include "connect/ConnectProgressDlg.h"

#include <QLabel>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "connect/LoginDialog.h"
#include "core/Messages.h"
#include "core/Model.h"
#include "session/Login.h"

CConnectProgressDlg::CConnectProgressDlg(QWidget* parent, LoginDialog* loginWindow)
    : ui::Window(parent), m_pLoginWindow(loginWindow) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
  m_caption = new QLabel("Connect ...", this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_caption);
  setMinimumWidth(220);
  AddControl(kConnectCaptionId, m_caption);
  OnMessage(WM_LOGINFINISHED, [this](plat::WPARAM, plat::LPARAM result) -> plat::LPARAM {
    KillTimer(kConnectTimerId);
    EndDialog(result == 1 ? 1 : -1);
    return 1;
  });
}

CConnectProgressDlg::CConnectProgressDlg(QWidget* parent) : CConnectProgressDlg(parent, nullptr) {}

CConnectProgressDlg::~CConnectProgressDlg() {
  // The worker reaches this window only by its handle, which dies with it.
  if (g_pLogin && g_pLogin->m_pOwner == Hwnd()) g_pLogin->m_pOwner = 0;
}

bool CConnectProgressDlg::OnInitDialog() {
  SetDlgItemText(kConnectCaptionId, m_strCaption);
  CreateLoginObject();
  g_pLogin->ExitThread();  // a worker still running from an earlier attempt
  g_pLogin->m_pOwner = Hwnd();
  if (m_pLoginWindow) {
    g_pLogin->m_strUser = m_pLoginWindow->m_strUserText.toStdString();
    g_pLogin->m_strPassword = m_pLoginWindow->m_strPasswordText.toStdString();
    g_pLogin->m_strServer = m_pLoginWindow->m_strHostText.toStdString();
    g_pLogin->m_strPort = m_pLoginWindow->m_strPortText.toStdString();
  }
  SetTimer(kConnectTimerId, 300);
  g_pLogin->CreateThread();
  SetDlgItemText(kConnectCaptionId, m_strCaption);
  return true;
}

void CConnectProgressDlg::OnTimer(int id) {
  std::string word, unused;
  SplitResourceString(8532, word, unused);  // "Connect\nStop_Connect": the first word
  const auto firstWord = QString::fromStdString(word).split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
  const QString running = firstWord.isEmpty() ? QString("Connect") : firstWord.first();
  if (id == kConnectTimerId) {
    static const char* const kDots[4] = {".", "..", "...", "...."};
    const QString host = m_pLoginWindow ? m_pLoginWindow->m_strHostText : QString();
    m_strCaption = QString("%1 %2 %3").arg(running, host, kDots[m_nDotCount % 4]);
    ++m_nDotCount;
  }
  SetDlgItemText(kConnectCaptionId, m_strCaption);
}

void CConnectProgressDlg::OnCancel() {
  // Closed before the worker reported: end it, so nothing it does later reaches us.
  KillTimer(kConnectTimerId);
  if (g_pLogin) g_pLogin->ExitThread();
  EndDialog(-1);
}
