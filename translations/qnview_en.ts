<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>AnalogInputPage</name>
    <message>
        <source>制御</source>
        <translation>Control</translation>
    </message>
    <message>
        <source>DO1 信号名</source>
        <translation>DO1 signal name</translation>
    </message>
    <message>
        <source>DO1 信号名の編集</source>
        <translation>DO1 edit signal name</translation>
    </message>
    <message>
        <source>DO1 出力状態</source>
        <translation>DO1 output state</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>DO1 自動</source>
        <translation>DO1 auto</translation>
    </message>
    <message>
        <source>DO1 周期 (x100ms)</source>
        <translation>DO1 period (x100ms)</translation>
    </message>
    <message>
        <source>DO2 信号名</source>
        <translation>DO2 signal name</translation>
    </message>
    <message>
        <source>DO2 信号名の編集</source>
        <translation>DO2 edit signal name</translation>
    </message>
    <message>
        <source>DO2 出力状態</source>
        <translation>DO2 output state</translation>
    </message>
    <message>
        <source>DO2 自動</source>
        <translation>DO2 auto</translation>
    </message>
    <message>
        <source>DO2 周期 (x100ms)</source>
        <translation>DO2 period (x100ms)</translation>
    </message>
    <message>
        <source>入力</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>AI 自動</source>
        <translation>AI auto</translation>
    </message>
    <message>
        <source>AI 周期 (x100ms)</source>
        <translation>AI period (x100ms)</translation>
    </message>
    <message>
        <source>測定レンジ</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>測定値</source>
        <translation>Measured</translation>
    </message>
    <message>
        <source>換算値</source>
        <translation>Converted</translation>
    </message>
    <message>
        <source>AI1 信号名</source>
        <translation>AI1 signal name</translation>
    </message>
    <message>
        <source>AI1 信号名の編集</source>
        <translation>AI1 edit signal name</translation>
    </message>
    <message>
        <source>AI1 測定レンジ</source>
        <translation>AI1 range</translation>
    </message>
    <message>
        <source>AI1 測定値</source>
        <translation>AI1 measured</translation>
    </message>
    <message>
        <source>AI1 換算値</source>
        <translation>AI1 converted</translation>
    </message>
    <message>
        <source>換算式</source>
        <translation>Formula</translation>
    </message>
    <message>
        <source>AI1 換算式</source>
        <translation>AI1 formula</translation>
    </message>
    <message>
        <source>閾値</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>AI1 閾値</source>
        <translation>AI1 threshold</translation>
    </message>
    <message>
        <source>AI1 バー</source>
        <translation>AI1 bar</translation>
    </message>
    <message>
        <source>AI2 信号名</source>
        <translation>AI2 signal name</translation>
    </message>
    <message>
        <source>AI2 信号名の編集</source>
        <translation>AI2 edit signal name</translation>
    </message>
    <message>
        <source>AI2 測定レンジ</source>
        <translation>AI2 range</translation>
    </message>
    <message>
        <source>AI2 測定値</source>
        <translation>AI2 measured</translation>
    </message>
    <message>
        <source>AI2 換算値</source>
        <translation>AI2 converted</translation>
    </message>
    <message>
        <source>AI2 換算式</source>
        <translation>AI2 formula</translation>
    </message>
    <message>
        <source>AI2 閾値</source>
        <translation>AI2 threshold</translation>
    </message>
    <message>
        <source>AI2 バー</source>
        <translation>AI2 bar</translation>
    </message>
    <message>
        <source>AI3 信号名</source>
        <translation>AI3 signal name</translation>
    </message>
    <message>
        <source>AI3 信号名の編集</source>
        <translation>AI3 edit signal name</translation>
    </message>
    <message>
        <source>AI3 測定レンジ</source>
        <translation>AI3 range</translation>
    </message>
    <message>
        <source>AI3 測定値</source>
        <translation>AI3 measured</translation>
    </message>
    <message>
        <source>AI3 換算値</source>
        <translation>AI3 converted</translation>
    </message>
    <message>
        <source>AI3 換算式</source>
        <translation>AI3 formula</translation>
    </message>
    <message>
        <source>AI3 閾値</source>
        <translation>AI3 threshold</translation>
    </message>
    <message>
        <source>AI3 バー</source>
        <translation>AI3 bar</translation>
    </message>
</context>
<context>
    <name>DoAlertDialog</name>
    <message>
        <source>DOアラート設定</source>
        <translation>DO Alert Settings</translation>
    </message>
    <message>
        <source>監視対象AI</source>
        <translation>Monitored AI</translation>
    </message>
    <message>
        <source>LED点灯条件</source>
        <translation>LED on when</translation>
    </message>
    <message>
        <source>範囲内</source>
        <translation>Inside range</translation>
    </message>
    <message>
        <source>範囲外</source>
        <translation>Outside range</translation>
    </message>
    <message>
        <source>アナログ閾値</source>
        <translation>Analog thresholds</translation>
    </message>
    <message>
        <source>ヒステリシス</source>
        <translation>Hysteresis</translation>
    </message>
    <message>
        <source>幅</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>消灯閾値優先</source>
        <translation>Off threshold first</translation>
    </message>
    <message>
        <source>点灯閾値優先</source>
        <translation>On threshold first</translation>
    </message>
    <message>
        <source>閾値 1</source>
        <translation>Threshold 1</translation>
    </message>
    <message>
        <source>閾値 2</source>
        <translation>Threshold 2</translation>
    </message>
    <message>
        <source>閾値 3</source>
        <translation>Threshold 3</translation>
    </message>
    <message>
        <source>閾値 4</source>
        <translation>Threshold 4</translation>
    </message>
    <message>
        <source>閾値 5</source>
        <translation>Threshold 5</translation>
    </message>
    <message>
        <source>閾値 6</source>
        <translation>Threshold 6</translation>
    </message>
    <message>
        <source>閾値 7</source>
        <translation>Threshold 7</translation>
    </message>
</context>
<context>
    <name>FormulaDialog</name>
    <message>
        <source>換算式と単位の設定</source>
        <translation>Formula and Unit</translation>
    </message>
    <message>
        <source>係数</source>
        <translation>Factor</translation>
    </message>
    <message>
        <source>＋</source>
        <translation>+</translation>
    </message>
    <message>
        <source>オフセット</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>単位</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>グラフ表示範囲</source>
        <translation>Graph range</translation>
    </message>
    <message>
        <source>グラフ表示範囲の下限</source>
        <translation>Graph range minimum</translation>
    </message>
    <message>
        <source>～</source>
        <translation>to</translation>
    </message>
    <message>
        <source>グラフ表示範囲の上限</source>
        <translation>Graph range maximum</translation>
    </message>
</context>
<context>
    <name>GraphTab</name>
    <message>
        <source>表示期間</source>
        <translation>Period</translation>
    </message>
    <message>
        <source>表示ON/OFF</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>注目グラフ</source>
        <translation>Focus</translation>
    </message>
</context>
<context>
    <name>MainDialog</name>
    <message>
        <source>デバイスリスト(&amp;D)</source>
        <translation>&amp;Device list</translation>
    </message>
    <message>
        <source>デバイスリストの見出し</source>
        <translation>Device list header</translation>
    </message>
    <message>
        <source>デバイスリスト</source>
        <translation>Device list</translation>
    </message>
    <message>
        <source>QNNETポート(&amp;P) :</source>
        <translation>QNNET &amp;port:</translation>
    </message>
    <message>
        <source>検索(&amp;S)</source>
        <translation>&amp;Search</translation>
    </message>
    <message>
        <source>IPアドレス(&amp;I) :</source>
        <translation>&amp;IP address:</translation>
    </message>
    <message>
        <source>追加(&amp;A)</source>
        <translation>&amp;Add</translation>
    </message>
    <message>
        <source>接続(&amp;C)</source>
        <translation>&amp;Connect</translation>
    </message>
    <message>
        <source>ログ</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>ロギング有効(&amp;E)</source>
        <translation>&amp;Enable logging</translation>
    </message>
    <message>
        <source>ファイル自動切換(&amp;F)</source>
        <translation>New &amp;file every</translation>
    </message>
    <message>
        <source>ファイル自動切換の行数</source>
        <translation>Rows per log file</translation>
    </message>
    <message>
        <source>1000行</source>
        <translation>1000 rows</translation>
    </message>
    <message>
        <source>1万行</source>
        <translation>10,000 rows</translation>
    </message>
    <message>
        <source>10万行</source>
        <translation>100,000 rows</translation>
    </message>
    <message>
        <source>100万行</source>
        <translation>1,000,000 rows</translation>
    </message>
    <message>
        <source>フォルダ :</source>
        <translation>Folder:</translation>
    </message>
    <message>
        <source>ログフォルダ</source>
        <translation>Log folder</translation>
    </message>
    <message>
        <source>参照(&amp;R)...</source>
        <translation>B&amp;rowse...</translation>
    </message>
    <message>
        <source>状態</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>言語(&amp;L) :</source>
        <translation>&amp;Language:</translation>
    </message>
    <message>
        <source>終了(&amp;X)</source>
        <translation>E&amp;xit</translation>
    </message>
</context>
<context>
    <name>QAbstractFileIconProvider</name>
    <message>
        <source>File</source>
        <translation>File</translation>
    </message>
</context>
<context>
    <name>Qn110Page</name>
    <message>
        <source>制御</source>
        <translation>Control</translation>
    </message>
    <message>
        <source>換算出力値</source>
        <translation>Converted output</translation>
    </message>
    <message>
        <source>出力設定値</source>
        <translation>Output setting</translation>
    </message>
    <message>
        <source>入力</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>DI 自動</source>
        <translation>DI auto</translation>
    </message>
    <message>
        <source>DI 周期 (x100ms)</source>
        <translation>DI period (x100ms)</translation>
    </message>
    <message>
        <source>DI1 信号名</source>
        <translation>DI1 signal name</translation>
    </message>
    <message>
        <source>DI1 信号名の編集</source>
        <translation>DI1 edit signal name</translation>
    </message>
    <message>
        <source>DI1 入力状態</source>
        <translation>DI1 input state</translation>
    </message>
    <message>
        <source>DI2 信号名</source>
        <translation>DI2 signal name</translation>
    </message>
    <message>
        <source>DI2 信号名の編集</source>
        <translation>DI2 edit signal name</translation>
    </message>
    <message>
        <source>DI2 入力状態</source>
        <translation>DI2 input state</translation>
    </message>
    <message>
        <source>DI3 信号名</source>
        <translation>DI3 signal name</translation>
    </message>
    <message>
        <source>DI3 信号名の編集</source>
        <translation>DI3 edit signal name</translation>
    </message>
    <message>
        <source>DI3 入力状態</source>
        <translation>DI3 input state</translation>
    </message>
</context>
<context>
    <name>Qn120Page</name>
    <message>
        <source>制御</source>
        <translation>Control</translation>
    </message>
    <message>
        <source>換算出力値</source>
        <translation>Converted output</translation>
    </message>
    <message>
        <source>出力設定値</source>
        <translation>Output setting</translation>
    </message>
    <message>
        <source>入力</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Auto</translation>
    </message>
    <message>
        <source>DI 自動</source>
        <translation>DI auto</translation>
    </message>
    <message>
        <source>DI 周期 (x100ms)</source>
        <translation>DI period (x100ms)</translation>
    </message>
    <message>
        <source>DI1 信号名</source>
        <translation>DI1 signal name</translation>
    </message>
    <message>
        <source>DI1 信号名の編集</source>
        <translation>DI1 edit signal name</translation>
    </message>
    <message>
        <source>DI1 入力状態</source>
        <translation>DI1 input state</translation>
    </message>
    <message>
        <source>DI2 信号名</source>
        <translation>DI2 signal name</translation>
    </message>
    <message>
        <source>DI2 信号名の編集</source>
        <translation>DI2 edit signal name</translation>
    </message>
    <message>
        <source>DI2 入力状態</source>
        <translation>DI2 input state</translation>
    </message>
</context>
<context>
    <name>SignalNameDialog</name>
    <message>
        <source>信号名の編集</source>
        <translation>Edit signal name</translation>
    </message>
    <message>
        <source>信号名</source>
        <translation>Signal name</translation>
    </message>
</context>
<context>
    <name>SweepDialog</name>
    <message>
        <source>スイープ設定</source>
        <translation>Sweep Settings</translation>
    </message>
    <message>
        <source>スイープのロー値V1:</source>
        <translation>Sweep low value V1:</translation>
    </message>
    <message>
        <source>スイープのハイ値V2:</source>
        <translation>Sweep high value V2:</translation>
    </message>
    <message>
        <source>変化時間T1:</source>
        <translation>Ramp time T1:</translation>
    </message>
    <message>
        <source>変化時間T2:</source>
        <translation>Ramp time T2:</translation>
    </message>
</context>
<context>
    <name>ThermocoupleDialog</name>
    <message>
        <source>熱電対測定設定</source>
        <translation>Thermocouple Settings</translation>
    </message>
    <message>
        <source>熱電対タイプ</source>
        <translation>Thermocouple type</translation>
    </message>
    <message>
        <source>K熱電対</source>
        <translation>Type K</translation>
    </message>
    <message>
        <source>J熱電対</source>
        <translation>Type J</translation>
    </message>
    <message>
        <source>T熱電対</source>
        <translation>Type T</translation>
    </message>
    <message>
        <source>E熱電対</source>
        <translation>Type E</translation>
    </message>
    <message>
        <source>N熱電対</source>
        <translation>Type N</translation>
    </message>
    <message>
        <source>R熱電対</source>
        <translation>Type R</translation>
    </message>
    <message>
        <source>S熱電対</source>
        <translation>Type S</translation>
    </message>
    <message>
        <source>B熱電対</source>
        <translation>Type B</translation>
    </message>
    <message>
        <source>冷接点補償</source>
        <translation>Cold-junction compensation</translation>
    </message>
    <message>
        <source>有効</source>
        <translation>Enabled</translation>
    </message>
    <message>
        <source>冷接点補償 有効</source>
        <translation>Cold-junction compensation enabled</translation>
    </message>
    <message>
        <source>断線検知</source>
        <translation>Burnout detection</translation>
    </message>
    <message>
        <source>断線検知 有効</source>
        <translation>Burnout detection enabled</translation>
    </message>
    <message>
        <source>断線時出力</source>
        <translation>Output on burnout</translation>
    </message>
    <message>
        <source>最低値</source>
        <translation>Lowest value</translation>
    </message>
    <message>
        <source>最高値</source>
        <translation>Highest value</translation>
    </message>
</context>
<context>
    <name>ThresholdDialog</name>
    <message>
        <source>LED点灯閾値設定(生値)</source>
        <translation>LED Thresholds (raw values)</translation>
    </message>
    <message>
        <source>ロー</source>
        <translation>Low</translation>
    </message>
    <message>
        <source>ハイ</source>
        <translation>High</translation>
    </message>
    <message>
        <source>範囲外にあるときにLED点灯</source>
        <translation>LED on when outside the range</translation>
    </message>
</context>
<context>
    <name>UnitWindow</name>
    <message>
        <source>ユニット</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>切断</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>確認</source>
        <translation>Seen</translation>
    </message>
    <message>
        <source>応答なしの記録を確認</source>
        <translation>Mark the record of no answer as seen</translation>
    </message>
    <message>
        <source>フォルダを開く</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>ログフォルダを開く</source>
        <translation>Open log folder</translation>
    </message>
</context>
<context>
    <name>qn::AnalogInputPage</name>
    <message>
        <source>設定を変更すると、換算式と単位の設定も初期化されます。よろしいですか？</source>
        <translation>Changing the range also resets the formula and unit settings. Continue?</translation>
    </message>
</context>
<context>
    <name>qn::AnalogOutputPage</name>
    <message>
        <source>閾値LED点灯</source>
        <translation>Threshold LED on</translation>
    </message>
    <message>
        <source>更新</source>
        <translation>Update</translation>
    </message>
</context>
<context>
    <name>qn::DevicePage</name>
    <message>
        <source>QNNET通信タイムアウトエラー</source>
        <translation>QNNET communication time-out error</translation>
    </message>
    <message>
        <source>時間設定が不正です。</source>
        <translation>The period is not valid.</translation>
    </message>
    <message>
        <source>ログファイルをオープンできません。</source>
        <translation>The log file cannot be opened.</translation>
    </message>
    <message>
        <source>グラフ表示範囲が不正なため、デフォルト値に設定します</source>
        <translation>The graph range is not valid; the default range is used.</translation>
    </message>
</context>
<context>
    <name>qn::DoAlertDialog</name>
    <message>
        <source>アナログ閾値 ( %1 )</source>
        <translation>Analog thresholds ( %1 )</translation>
    </message>
</context>
<context>
    <name>qn::DoAlertPicture</name>
    <message>
        <source>ON 制御領域</source>
        <translation>ON region</translation>
    </message>
    <message>
        <source>OFF 制御領域</source>
        <translation>OFF region</translation>
    </message>
    <message>
        <source>ヒステリシス領域</source>
        <translation>Hysteresis region</translation>
    </message>
    <message>
        <source>ON/OFF閾値</source>
        <translation>ON/OFF threshold</translation>
    </message>
    <message>
        <source>OFF→ON閾値</source>
        <translation>OFF→ON threshold</translation>
    </message>
    <message>
        <source>ON→OFF閾値</source>
        <translation>ON→OFF threshold</translation>
    </message>
</context>
<context>
    <name>qn::FormulaDialog</name>
    <message>
        <source>測定値 ×</source>
        <translation>Measured ×</translation>
    </message>
    <message>
        <source>出力設定値 ×</source>
        <translation>Output setting ×</translation>
    </message>
    <message>
        <source>＝ 表示値</source>
        <translation>= Shown value</translation>
    </message>
    <message>
        <source>＝ 換算出力値</source>
        <translation>= Converted output</translation>
    </message>
    <message>
        <source>表示値の単位:</source>
        <translation>Unit of the shown value:</translation>
    </message>
    <message>
        <source>換算出力値の単位:</source>
        <translation>Unit of the converted output:</translation>
    </message>
</context>
<context>
    <name>qn::GraphExporter</name>
    <message>
        <source>グラフ</source>
        <translation>Graph</translation>
    </message>
    <message>
        <source>画像を保存...</source>
        <translation>Save Image...</translation>
    </message>
    <message>
        <source>CSVで保存...</source>
        <translation>Save as CSV...</translation>
    </message>
    <message>
        <source>コピー</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>画像を保存</source>
        <translation>Save Image</translation>
    </message>
    <message>
        <source>CSVで保存</source>
        <translation>Save as CSV</translation>
    </message>
    <message>
        <source>ファイルを保存できませんでした。
%1</source>
        <translation>The file could not be saved.
%1</translation>
    </message>
</context>
<context>
    <name>qn::GraphTab</name>
    <message>
        <source>値の時刻</source>
        <translation>Time of the values</translation>
    </message>
    <message>
        <source> 色</source>
        <translation> colour</translation>
    </message>
    <message>
        <source> 値</source>
        <translation> value</translation>
    </message>
    <message>
        <source>値は最新 (%1)</source>
        <translation>Values are the newest (%1)</translation>
    </message>
</context>
<context>
    <name>qn::LinkWatch</name>
    <message>
        <source>応答待ち</source>
        <translation>Waiting for answer</translation>
    </message>
    <message>
        <source>接続中</source>
        <translation>Connected</translation>
    </message>
    <message>
        <source>応答なし (%1 から)</source>
        <translation>No answer (since %1)</translation>
    </message>
    <message>
        <source>応答なし %1 – %2</source>
        <translation>No answer %1 – %2</translation>
    </message>
    <message>
        <source>最終読み取り %1</source>
        <translation>Last reading %1</translation>
    </message>
</context>
<context>
    <name>qn::LogFeed</name>
    <message>
        <source>ログ書き込みエラー (%1 %2 ～)</source>
        <translation>Log write error (since %1 %2)</translation>
    </message>
</context>
<context>
    <name>qn::MainDialog</name>
    <message>
        <source>検索中...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>通信エラー</source>
        <translation>Communication error</translation>
    </message>
    <message>
        <source>ログの設定は、これから接続するウィンドウに適用されます</source>
        <translation>The log settings apply to windows connected from now on</translation>
    </message>
    <message>
        <source>%1 から応答がありません</source>
        <translation>No answer from %1</translation>
    </message>
    <message>
        <source>%1 には既に接続しています。
もう一つ接続すると、ユニットとの通信とログが二重になります。接続しますか？</source>
        <translation>%1 is connected already.
A second connection doubles the traffic to the unit and its log. Connect?</translation>
    </message>
    <message>
        <source>ログフォルダを選択してください</source>
        <translation>Choose the log folder</translation>
    </message>
</context>
<context>
    <name>qn::NumericEdit</name>
    <message>
        <source>数字以外は入力できません</source>
        <translation>Only digits can be entered</translation>
    </message>
</context>
<context>
    <name>qn::OutputChannelName</name>
    <message>
        <source>信号名</source>
        <translation>signal name</translation>
    </message>
    <message>
        <source>信号名の編集</source>
        <translation>edit signal name</translation>
    </message>
    <message>
        <source>出力状態</source>
        <translation>output state</translation>
    </message>
    <message>
        <source>換算出力値</source>
        <translation>converted output</translation>
    </message>
    <message>
        <source>単位</source>
        <translation>unit</translation>
    </message>
    <message>
        <source>出力設定値</source>
        <translation>output setting</translation>
    </message>
    <message>
        <source>バー</source>
        <translation>bar</translation>
    </message>
    <message>
        <source>換算式</source>
        <translation>formula</translation>
    </message>
    <message>
        <source>閾値</source>
        <translation>threshold</translation>
    </message>
    <message>
        <source>スイープ設定</source>
        <translation>sweep settings</translation>
    </message>
</context>
<context>
    <name>qn::OutputChannelRow</name>
    <message>
        <source>換算式</source>
        <translation>Formula</translation>
    </message>
    <message>
        <source>閾値</source>
        <translation>Threshold</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Setup</translation>
    </message>
</context>
<context>
    <name>qn::Qn220Page</name>
    <message>
        <source>DOアラート</source>
        <translation>DO alert</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Setup</translation>
    </message>
    <message>
        <source>DOアラート 設定</source>
        <translation>DO alert setup</translation>
    </message>
    <message>
        <source>熱電対設定</source>
        <translation>Thermocouple</translation>
    </message>
    <message>
        <source>AI%1 熱電対設定</source>
        <translation>AI%1 thermocouple settings</translation>
    </message>
</context>
<context>
    <name>qn::ShownText</name>
    <message>
        <source>MACアドレス        機種      ID    IPアドレス</source>
        <translation>MAC address        Model     ID    IP address</translation>
    </message>
    <message>
        <source>MACアドレス: </source>
        <translation>MAC address: </translation>
    </message>
    <message>
        <source>0-20mA (外付け250Ω)</source>
        <translation>0-20mA (external 250Ω)</translation>
    </message>
    <message>
        <source>0-20mA (外付け50Ω)</source>
        <translation>0-20mA (external 50Ω)</translation>
    </message>
    <message>
        <source>熱電対</source>
        <translation>Thermocouple</translation>
    </message>
    <message>
        <source>電圧[±0.1V]</source>
        <translation>Voltage [±0.1V]</translation>
    </message>
    <message>
        <source>電圧[±1V]</source>
        <translation>Voltage [±1V]</translation>
    </message>
    <message>
        <source>電圧[±10V]</source>
        <translation>Voltage [±10V]</translation>
    </message>
    <message>
        <source>電圧[±30V]</source>
        <translation>Voltage [±30V]</translation>
    </message>
    <message>
        <source>電流[0-20mA]</source>
        <translation>Current [0-20mA]</translation>
    </message>
    <message>
        <source>温度[℃]</source>
        <translation>Temperature [℃]</translation>
    </message>
</context>
<context>
    <name>qn::SweepDialog</name>
    <message>
        <source>最小値＜最大値である必要があります。</source>
        <translation>The low value must be below the high value.</translation>
    </message>
</context>
<context>
    <name>qn::TrendCanvas</name>
    <message>
        <source>トレンドグラフ</source>
        <translation>Trend graph</translation>
    </message>
    <message>
        <source>最新へ</source>
        <translation>Newest</translation>
    </message>
    <message>
        <source>最新の値に追従する</source>
        <translation>Follow the newest values</translation>
    </message>
</context>
<context>
    <name>qn::TrendScrollStrip</name>
    <message>
        <source>表示位置</source>
        <translation>Position shown</translation>
    </message>
</context>
<context>
    <name>qn::UnitWindow</name>
    <message>
        <source>この機種の制御ページは、このバージョンではまだ使用できません。</source>
        <translation>This version has no control page for this model yet.</translation>
    </message>
    <message>
        <source>制御</source>
        <translation>Control</translation>
    </message>
    <message>
        <source>グラフ</source>
        <translation>Graph</translation>
    </message>
    <message>
        <source>ログ記録なし</source>
        <translation>Not logging</translation>
    </message>
    <message>
        <source>ログ: ファイルを開けません</source>
        <translation>Log: cannot open file</translation>
    </message>
    <message>
        <source>ログ: %1</source>
        <translation>Log: %1</translation>
    </message>
</context>
</TS>
