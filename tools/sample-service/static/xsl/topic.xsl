<?xml version="1.0" encoding="utf-8"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="utf-8"/>
  <xsl:template match="/Topic">
    <html>
      <head><title><xsl:value-of select="Issue/TopicName"/></title></head>
      <body style="font-family: sans-serif">
        <h2><xsl:value-of select="Issue/TopicName"/></h2>
        <p>楼主：<xsl:value-of select="Issue/PostUserNickName"/>
          (<xsl:value-of select="Issue/PostUserName"/>)
          <xsl:value-of select="Issue/PostDateTime"/> · 房间：<xsl:value-of select="Issue/RoomName"/>
          · 分数：<xsl:value-of select="Issue/Point"/> · 回复：<xsl:value-of select="Issue/ReplyNum"/></p>
        <div style="border:1px solid #99c; padding:6px"><xsl:value-of select="Issue/Content"/></div>
        <xsl:for-each select="Replys/Reply">
          <div style="border-top:1px dashed #999; margin-top:6px; padding:6px">
            <b><xsl:value-of select="ReplyId"/>楼 <xsl:value-of select="PostUserNickName"/></b>
            <span> <xsl:value-of select="PostDateTime"/></span>
            <div style="white-space:pre-wrap"><xsl:value-of select="Content"/></div>
          </div>
        </xsl:for-each>
      </body>
    </html>
  </xsl:template>
</xsl:stylesheet>
