<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP" sourcelanguage="en_US">
<context>
    <name>CTarvexDlg</name>
    <message>
        <source>&amp;ID</source>
        <translation>&amp;ID</translation>
    </message>
    <message>
        <source>Not using ID</source>
        <translation>IDを使用しない</translation>
    </message>
    <message>
        <source>Channel</source>
        <translation>チャンネル</translation>
    </message>
    <message>
        <source>R&amp;udder</source>
        <translation>ラダー(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Gain</source>
        <translation>ゲイン(&amp;G)</translation>
    </message>
    <message>
        <source>F&amp;light Mode</source>
        <translation>フライトモード(&amp;L)</translation>
    </message>
    <message>
        <source>F3C</source>
        <translation>F3C</translation>
    </message>
    <message>
        <source>3D</source>
        <translation>3D</translation>
    </message>
    <message>
        <source>Ser&amp;vo Mode</source>
        <translation>サーボモード(&amp;V)</translation>
    </message>
    <message>
        <source>Digital (1520)</source>
        <translation>デジタル(1520)</translation>
    </message>
    <message>
        <source>Digital (760)</source>
        <translation>デジタル(760)</translation>
    </message>
    <message>
        <source>Analog</source>
        <translation>アナログ</translation>
    </message>
    <message>
        <source>G&amp;yro Reverse</source>
        <translation>ジャイロリバース(&amp;Y)</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>ノーマル</translation>
    </message>
    <message>
        <source>Reverse</source>
        <translation>リバース</translation>
    </message>
    <message>
        <source>&amp;Mounting Surface</source>
        <translation>ジャイロ搭載面(&amp;M)</translation>
    </message>
    <message>
        <source>Upper side</source>
        <translation>上面</translation>
    </message>
    <message>
        <source>Bottom side</source>
        <translation>下面</translation>
    </message>
    <message>
        <source>Response Setting</source>
        <translation>レスポンス設定</translation>
    </message>
    <message>
        <source>M&amp;ode</source>
        <translation>モード(&amp;O)</translation>
    </message>
    <message>
        <source>Fast</source>
        <translation>高速</translation>
    </message>
    <message>
        <source>Standard</source>
        <translation>通常</translation>
    </message>
    <message>
        <source>Slow</source>
        <translation>低速</translation>
    </message>
    <message>
        <source>Co&amp;ntrol Response</source>
        <translation>コントロールレスポンス(&amp;N)</translation>
    </message>
    <message>
        <source>Holde&amp;x Response</source>
        <translation>Holde&amp;x レスポンス</translation>
    </message>
    <message>
        <source>&amp;Pirouette&#xa;Consistency</source>
        <translation>ピルエット感覚(&amp;P)</translation>
    </message>
    <message>
        <source>EXP</source>
        <translation>EXP</translation>
    </message>
    <message>
        <source>Norm&amp;al</source>
        <translation>ノーマル(&amp;A)</translation>
    </message>
    <message>
        <source>Holdex</source>
        <translation>Holdex</translation>
    </message>
    <message>
        <source>Holdex setting</source>
        <translation>Holdex設定</translation>
    </message>
    <message>
        <source>Yaw Ra&amp;te</source>
        <translation>ヨーレート(&amp;T)</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>ゲイン</translation>
    </message>
    <message>
        <source>Range</source>
        <translation>レンジ</translation>
    </message>
    <message>
        <source>&amp;D gain</source>
        <translation>&amp;Dゲイン</translation>
    </message>
    <message>
        <source>D damp.</source>
        <translation>Dダンピング</translation>
    </message>
    <message>
        <source>&amp;Base Gain</source>
        <translation>ベースゲイン(&amp;B)</translation>
    </message>
    <message>
        <source>Limit</source>
        <translation>リミット</translation>
    </message>
    <message>
        <source>&amp;Enter</source>
        <translation>入力(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Set</source>
        <translation>設定(&amp;S)</translation>
    </message>
    <message>
        <source>Position</source>
        <translation>サーボ位置</translation>
    </message>
    <message>
        <source>&amp;Read</source>
        <translation>読み込み(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Write</source>
        <translation>書き込み(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <comment>menu</comment>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Initialize...</source>
        <comment>menu</comment>
        <translation>初期化(&amp;I)...</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <comment>menu</comment>
        <translation>開く(&amp;O)...</translation>
    </message>
    <message>
        <source>&amp;Restore Previous Settings…</source>
        <comment>menu</comment>
        <translation>以前の設定を復元(&amp;R)...</translation>
    </message>
    <message>
        <source>S&amp;hare Setup</source>
        <comment>menu</comment>
        <translation>設定を共有(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <comment>menu</comment>
        <translation>保存(&amp;S)</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <comment>menu</comment>
        <translation>名前をつけて保存(&amp;A)...</translation>
    </message>
    <message>
        <source>Recent File</source>
        <comment>menu</comment>
        <translation>最近使ったファイル</translation>
    </message>
    <message>
        <source>E&amp;xit&#x9;Alt+F4</source>
        <comment>menu</comment>
        <translation>終了(&amp;X)&#x9;Alt+F4</translation>
    </message>
    <message>
        <source>&amp;Connect</source>
        <comment>menu</comment>
        <translation>接続(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Read</source>
        <comment>menu</comment>
        <translation>読み込み(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;Write</source>
        <comment>menu</comment>
        <translation>書き込み(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <comment>menu</comment>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <comment>menu</comment>
        <translation>バージョン情報(&amp;A)</translation>
    </message>
    <message>
        <source>%1, row %2</source>
        <translation>%1 %2行目</translation>
    </message>
    <message>
        <source>Direction, %1, row %2</source>
        <translation>方向 %1 %2行目</translation>
    </message>
    <message>
        <source>Status, %1</source>
        <translation>状態 %1</translation>
    </message>
    <message>
        <source>Please enter a positive integer.</source>
        <translation>正の整数を入力してください。</translation>
    </message>
    <message>
        <source>Please enter an integer between %1 and %2.</source>
        <translation>%1 から %2 までの整数を入力してください。</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 から %2</translation>
    </message>
    <message>
        <source>%1 to %2 percent</source>
        <translation>%1 から %2 パーセント</translation>
    </message>
    <message>
        <source>Export Backups…</source>
        <comment>menu</comment>
        <translation>バックアップをエクスポート...</translation>
    </message>
    <message>
        <source>Import Backups…</source>
        <comment>menu</comment>
        <translation>バックアップをインポート...</translation>
    </message>
</context>
</TS>
